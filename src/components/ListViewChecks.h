// Check-box access on a report-view list view, by list-view messages; rows counted from 0.
#pragma once

#include <windows.h>

namespace parvox {

void SetListCheckBoxes(HWND list, bool on);
void SetListFullRowSelect(HWND list, bool on);
long CountCheckedItems(HWND list);
void InvertCheckedItems(HWND list);
void SetItemChecked(HWND list, int index, bool checked);
bool IsItemChecked(HWND list, int index);

}  // namespace parvox
