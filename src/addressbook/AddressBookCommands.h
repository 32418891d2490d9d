// What the main window's address-book buttons, list events and context menu do.
#pragma once

#include <windows.h>

#include <string>

namespace parvox {

class wMain;

void AddEntry(wMain& main);
// Opens the editor in add mode with `address` proposed; when the entry is added, it is the only
// one ticked.
void AddEntryFor(wMain& main, const std::wstring& address);
// Ticks exactly the rows whose address equals `address`, letter case ignored, and returns how
// many; with none, every tick stays as it was.
int TickOnlyAddress(HWND list, const std::wstring& address);
void EditEntry(wMain& main);
void RemoveCheckedEntries(wMain& main);
void SortByColumn(wMain& main, int column);
void CheckAllEntries(wMain& main, bool checked);
void InvertEntryChecks(wMain& main);

}  // namespace parvox
