// Moves the address book between the settings file's "Addresses" section and the main list.
#pragma once

#include <windows.h>

#include <string>

#include "addressbook/AddressBookSection.h"

namespace parvox {

// What the store needs of the window that shows the book.
class AddressBookHost {
 public:
  virtual ~AddressBookHost() = default;
  virtual HWND AddressList() const = 0;
  virtual void SetStatusText(const std::wstring& text) = 0;
  virtual void UpdateEntryCommands() = 0;
};

// False when the load ended through its failure path (the status line says why).
bool LoadAddressBook(AddressBookHost& host);
// False while the list lacks entries the file holds (the last load failed part-way or could not
// read the file); SaveAddressBook then refuses, and shutdown stores no view state either.
bool AddressBookComplete();
void RestoreLastSelection(AddressBookHost& host);
void SaveAddressBook(AddressBookHost& host);

// The addresses of the ticked rows in list order, joined with "|".
std::wstring TickedAddresses(HWND list);

}  // namespace parvox
