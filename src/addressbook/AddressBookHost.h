// What the address-book commands, the entry editor and the store need of the window that
// shows the book.
#pragma once

#include <windows.h>

#include <string>

namespace parvox {

class AddressBookStore;

class AddressBookHost {
 public:
  virtual ~AddressBookHost() = default;
  // The window that owns the editor and the message boxes.
  virtual HWND Owner() const = 0;
  virtual HWND AddressList() const = 0;
  virtual void SetStatusText(const std::wstring& text) = 0;
  // Enables Edit, Remove and their menu entries to match the list.
  virtual void UpdateEntryCommands() = 0;
  virtual AddressBookStore& Book() = 0;
};

}  // namespace parvox
