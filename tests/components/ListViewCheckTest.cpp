// Tick operations on a real list view.
#include "components/ListViewChecks.h"

#include <commctrl.h>
#include <gtest/gtest.h>

namespace parvox {
namespace {

class ListViewCheckTest : public testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    // Visible: a hidden report view defers work that the tests depend on.
    list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE | LVS_REPORT, 0, 0,
                           300, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    LVCOLUMNW column{LVCF_TEXT | LVCF_WIDTH};
    column.cx = 100;
    column.pszText = const_cast<wchar_t*>(L"Name");
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    SetListCheckBoxes(list, true);
  }
  void TearDown() override { DestroyWindow(list); }
  void AddRows(int count) {
    for (int i = 0; i < count; ++i) {
      LVITEMW item{LVIF_TEXT};
      item.iItem = i;
      item.pszText = const_cast<wchar_t*>(L"row");
      SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
  }
  HWND list = nullptr;
};

TEST_F(ListViewCheckTest, EmptyList) {
  EXPECT_EQ(CountCheckedItems(list), 0);
  InvertCheckedItems(list);
  EXPECT_EQ(CountCheckedItems(list), 0);
  EXPECT_FALSE(IsItemChecked(list, 0));
}

TEST_F(ListViewCheckTest, SetCountInvert) {
  AddRows(4);
  SetItemChecked(list, 0, true);
  SetItemChecked(list, 2, true);
  EXPECT_EQ(CountCheckedItems(list), 2);
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMSTATE, 2, LVIS_STATEIMAGEMASK), 0x2000);
  InvertCheckedItems(list);
  EXPECT_FALSE(IsItemChecked(list, 0));
  EXPECT_TRUE(IsItemChecked(list, 1));
  EXPECT_FALSE(IsItemChecked(list, 2));
  EXPECT_TRUE(IsItemChecked(list, 3));
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMSTATE, 0, LVIS_STATEIMAGEMASK), 0x1000);
  EXPECT_FALSE(IsItemChecked(list, 4)) << "past the last row";
  SetItemChecked(list, 9, true);  // ignored by the list
  EXPECT_EQ(CountCheckedItems(list), 2);
}

TEST_F(ListViewCheckTest, ExtendedStylesSwitchOnAndOff) {
  SetListFullRowSelect(list, true);
  auto styles = [&] { return SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0); };
  EXPECT_TRUE(styles() & LVS_EX_FULLROWSELECT);
  EXPECT_TRUE(styles() & LVS_EX_CHECKBOXES);
  SetListFullRowSelect(list, false);
  EXPECT_FALSE(styles() & LVS_EX_FULLROWSELECT);
  EXPECT_TRUE(styles() & LVS_EX_CHECKBOXES);
}

}  // namespace
}  // namespace parvox
