// State image 1 is the empty box (0x1000), image 2 the ticked one (0x2000); every read and
// write covers the state-image bits and all above them.
#include "components/ListViewChecks.h"

#include <commctrl.h>

namespace parvox {
namespace {

constexpr UINT kCheckStateMask = 0xFFFFF000;
constexpr UINT kUnchecked = 0x1000;
constexpr UINT kChecked = 0x2000;

UINT ItemState(HWND list, int index) {
  return static_cast<UINT>(SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(index),
                                        static_cast<LPARAM>(kCheckStateMask)));
}

void SetItemState(HWND list, int index, UINT state) {
  LVITEMW item{};
  item.mask = LVIF_STATE;
  item.stateMask = kCheckStateMask;
  item.state = state;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

void SetExtendedStyle(HWND list, DWORD style, bool on) {
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, style, on ? static_cast<LPARAM>(-1) : 0);
}

int ItemCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

}  // namespace

void SetListCheckBoxes(HWND list, bool on) { SetExtendedStyle(list, LVS_EX_CHECKBOXES, on); }

void SetListFullRowSelect(HWND list, bool on) { SetExtendedStyle(list, LVS_EX_FULLROWSELECT, on); }

long CountCheckedItems(HWND list) {
  long count = 0;
  for (int i = 0, n = ItemCount(list); i < n; ++i) {
    if (ItemState(list, i) & kChecked) ++count;
  }
  return count;
}

void InvertCheckedItems(HWND list) {
  for (int i = 0, n = ItemCount(list); i < n; ++i) {
    SetItemState(list, i, (ItemState(list, i) & kChecked) ? kUnchecked : kChecked);
  }
}

void SetItemChecked(HWND list, int index, bool checked) {
  SetItemState(list, index, checked ? kChecked : kUnchecked);
}

bool IsItemChecked(HWND list, int index) { return (ItemState(list, index) & kChecked) != 0; }

}  // namespace parvox
