// What the main window's address-book buttons, list events and context menu do.
#pragma once

#include <windows.h>

#include <string>

namespace parvox {

class AddressBookHost;

void AddEntry(AddressBookHost& host);
// Opens the editor in add mode with `address` proposed; when the entry is added, it is the only
// one ticked.
void AddEntryFor(AddressBookHost& host, const std::wstring& address);
// Ticks exactly the rows whose address equals `address`, letter case ignored, and returns how
// many; with none, every tick stays as it was.
int TickOnlyAddress(HWND list, const std::wstring& address);
void EditEntry(AddressBookHost& host);
void RemoveCheckedEntries(AddressBookHost& host);
void SortByColumn(AddressBookHost& host, int column);
void CheckAllEntries(AddressBookHost& host, bool checked);
void InvertEntryChecks(AddressBookHost& host);

}  // namespace parvox
