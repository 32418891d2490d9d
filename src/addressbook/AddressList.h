// Rows of the address list: text, description, icon and the entry record as the row's tag.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "addressbook/EntryRecord.h"

namespace parvox {

// Adds a row at the end; the list owns the tag from then on (see ReleaseRowTag).
int AppendAddressRow(HWND list, const std::wstring& address, const std::wstring& description,
                     int imageIndex, const std::wstring& record);
// Replaces a row's text, description, icon and tag.
void UpdateAddressRow(HWND list, int row, const std::wstring& address,
                      const std::wstring& description, int imageIndex, const std::wstring& record);
int RowCount(HWND list);
// The row's text (column 0) or a sub-item's, whole however long.
std::wstring RowText(HWND list, int row, int column = 0);
std::wstring RowTag(HWND list, int row);
// The row's item data: the address of its tag, which identifies the row.
LPARAM RowParam(HWND list, int row);
// Frees the tag of a row that the list is deleting (its LVN_DELETEITEM notification).
void ReleaseRowTag(const NMLISTVIEW& deleted);
// Image list index of an entry type's icon.
int TypeImageIndex(EntryType type);

}  // namespace parvox
