// What the main window's address-book buttons, list events and context menu do.
#pragma once

namespace parvox {

class wMain;

void AddEntry(wMain& main);
void EditEntry(wMain& main);
void RemoveCheckedEntries(wMain& main);
void SortByColumn(wMain& main, int column);
void CheckAllEntries(wMain& main, bool checked);
void InvertEntryChecks(wMain& main);

}  // namespace parvox
