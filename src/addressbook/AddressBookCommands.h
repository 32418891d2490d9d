// What the main window's address-book buttons, list events and context menu do.
#pragma once

#include <windows.h>

#include <string>

namespace parvox {

class MainWindow;

void AddEntry(MainWindow& main);
// Opens the editor in add mode with `address` proposed; when the entry is added, it is the only
// one ticked.
void AddEntryFor(MainWindow& main, const std::wstring& address);
// Ticks exactly the rows whose address equals `address`, letter case ignored, and returns how
// many; with none, every tick stays as it was.
int TickOnlyAddress(HWND list, const std::wstring& address);
void EditEntry(MainWindow& main);
void RemoveCheckedEntries(MainWindow& main);
void SortByColumn(MainWindow& main, int column);
void CheckAllEntries(MainWindow& main, bool checked);
void InvertEntryChecks(MainWindow& main);

}  // namespace parvox
