// Moves the address book between the settings file's "Addresses" section and the main list.
#pragma once

#include <windows.h>

#include <string>

#include "addressbook/AddressBookHost.h"
#include "addressbook/AddressBookSection.h"

namespace parvox {

class AddressBookStore {
 public:
  explicit AddressBookStore(AddressBookHost& host) : host_(host) {}

  // False when the load ended through its failure path (the status line says why).
  bool LoadAddressBook();
  // False while the list lacks entries the file holds (the last load failed part-way or could
  // not read the file); SaveAddressBook then refuses, and shutdown stores no view state either.
  bool AddressBookComplete() const { return !incomplete_; }
  void RestoreLastSelection();
  void SaveAddressBook();

 private:
  AddressBookHost& host_;
  bool incomplete_ = false;
};

// The addresses of the ticked rows in list order, joined with "|".
std::wstring TickedAddresses(HWND list);

}  // namespace parvox
