// Row access on the address list view. Tags are heap copies of the record, owned by the row.
#include "addressbook/AddressList.h"

#include <commctrl.h>

#include <vector>

namespace parvox {

int AppendAddressRow(HWND list, const std::wstring& address, const std::wstring& description,
                     int imageIndex, const std::wstring& record) {
  auto* tag = new std::wstring(record);
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
  item.iItem = RowCount(list);
  item.pszText = const_cast<wchar_t*>(address.c_str());
  item.iImage = imageIndex;
  item.lParam = reinterpret_cast<LPARAM>(tag);
  int row =
      static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  if (row < 0) {
    delete tag;
    return row;
  }
  LVITEMW sub{};
  sub.iSubItem = 1;
  sub.pszText = const_cast<wchar_t*>(description.c_str());
  SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
  return row;
}

void UpdateAddressRow(HWND list, int row, const std::wstring& address,
                      const std::wstring& description, int imageIndex, const std::wstring& record) {
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return;
  auto* tag = reinterpret_cast<std::wstring*>(item.lParam);
  if (tag == nullptr) {
    tag = new std::wstring(record);
  } else {
    *tag = record;
  }
  item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
  item.pszText = const_cast<wchar_t*>(address.c_str());
  item.iImage = imageIndex;
  item.lParam = reinterpret_cast<LPARAM>(tag);
  SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  LVITEMW sub{};
  sub.iSubItem = 1;
  sub.pszText = const_cast<wchar_t*>(description.c_str());
  SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
}

int RowCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

std::wstring RowText(HWND list, int row, int column) {
  // The list copies at most the buffer's size; grow until the text fits.
  std::vector<wchar_t> buffer(256);
  for (;;) {
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    auto length = static_cast<size_t>(SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                                                   reinterpret_cast<LPARAM>(&item)));
    if (length + 1 < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 4);
  }
}

LPARAM RowParam(HWND list, int row) {
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  return SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : 0;
}

std::wstring RowTag(HWND list, int row) {
  LPARAM tag = RowParam(list, row);
  return tag == 0 ? std::wstring() : *reinterpret_cast<const std::wstring*>(tag);
}

void ReleaseRowTag(const NMLISTVIEW& deleted) {
  delete reinterpret_cast<std::wstring*>(deleted.lParam);
}

int TypeImageIndex(EntryType type) {
  // Images: 0 information, 1 user or machine, 2 domain.
  return type == EntryType::kDomain ? 2 : 1;
}

}  // namespace parvox
