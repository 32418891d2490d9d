// Add, edit, remove, sort and tick the entries of the address list.
#include "addressbook/AddressBookCommands.h"

#include <windows.h>

// The other platform headers build on windows.h.
#include <commctrl.h>

#include <algorithm>
#include <unordered_map>
#include <utility>
#include <vector>

#include "addressbook/AddressBookHost.h"
#include "addressbook/AddressBookStore.h"
#include "addressbook/AddressList.h"
#include "addressbook/EntryEditor.h"
#include "components/ListViewChecks.h"
#include "components/MessageBoxSeam.h"

namespace parvox {
namespace {

void OpenEditor(AddressBookHost& host, EntryRequest request) {
  EntryEditor editor(host, std::move(request));
  if (editor.Open(host.Owner())) editor.RunModal();
}

// Sorting compares each row's tag (its identity) through a table of the column's texts taken
// before the sort: the list moves rows while it sorts, so row numbers would not stay valid.
using ColumnTexts = std::unordered_map<LPARAM, std::wstring>;

int CALLBACK CompareColumnText(LPARAM first, LPARAM second, LPARAM context) {
  const auto& texts = *reinterpret_cast<const ColumnTexts*>(context);
  const std::wstring& a = texts.at(first);
  const std::wstring& b = texts.at(second);
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()),
                        b.c_str(), static_cast<int>(b.size())) -
         CSTR_EQUAL;
}

}  // namespace

void AddEntry(AddressBookHost& host) {
  OpenEditor(host, {-1, L"New User " + std::to_wstring(RowCount(host.AddressList())), L""});
}

void AddEntryFor(AddressBookHost& host, const std::wstring& address) {
  HWND list = host.AddressList();
  int rows = RowCount(list);
  OpenEditor(host, {-1, address, L""});
  if (RowCount(list) <= rows) return;  // cancelled
  CheckAllEntries(host, false);
  SetItemChecked(list, RowCount(list) - 1, true);
}

int TickOnlyAddress(HWND list, const std::wstring& address) {
  std::vector<bool> matches;
  for (int row = 0, rows = RowCount(list); row < rows; ++row) {
    std::wstring text = RowText(list, row);
    matches.push_back(CompareStringOrdinal(text.c_str(), static_cast<int>(text.size()),
                                           address.c_str(), static_cast<int>(address.size()),
                                           TRUE) == CSTR_EQUAL);
  }
  int count = static_cast<int>(std::count(matches.begin(), matches.end(), true));
  // Without a match the ticks stay as they were: the user may still cancel adding the entry.
  if (count == 0) return 0;
  for (int row = 0; row < static_cast<int>(matches.size()); ++row)
    SetItemChecked(list, row, matches[row]);
  return count;
}

void EditEntry(AddressBookHost& host) {
  HWND list = host.AddressList();
  if (RowCount(list) == 0) {
    host.SetStatusText(L"No entry to edit...");
    return;
  }
  int row = RowToEdit(list);
  if (row < 0) return;
  OpenEditor(host, {row, RowText(list, row), RowText(list, row, 1)});
}

void RemoveCheckedEntries(AddressBookHost& host) {
  HWND list = host.AddressList();
  int rows = RowCount(list);
  if (rows == 0) {
    host.SetStatusText(L"The address book contains no entries!");
    return;
  }
  if (CountCheckedItems(list) == 0) {
    host.SetStatusText(L"No entries have been selected (checkmarked) for removal.");
    return;
  }
  if (ShowMessageBox(host.Owner(), L"All checked entries will be removed - continue?",
                     L"Remove selected entries..", MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return;
  }
  // From the last row to the first, so the rows still to visit keep their numbers.
  for (int row = rows - 1; row >= 0; --row) {
    if (IsItemChecked(list, row)) SendMessageW(list, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
  }
  host.Book().SaveAddressBook();
  host.UpdateEntryCommands();
}

void SortByColumn(AddressBookHost& host, int column) {
  HWND list = host.AddressList();
  if (RowCount(list) == 0) return;
  ColumnTexts texts;
  for (int row = 0, rows = RowCount(list); row < rows; ++row)
    texts[RowParam(list, row)] = RowText(list, row, column);
  SendMessageW(list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&texts),
               reinterpret_cast<LPARAM>(CompareColumnText));
  host.Book().SaveAddressBook();
}

void CheckAllEntries(AddressBookHost& host, bool checked) {
  HWND list = host.AddressList();
  for (int row = 0, rows = RowCount(list); row < rows; ++row) SetItemChecked(list, row, checked);
}

void InvertEntryChecks(AddressBookHost& host) { InvertCheckedItems(host.AddressList()); }

}  // namespace parvox
