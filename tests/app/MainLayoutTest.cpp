// The main window's control table.
#include <gtest/gtest.h>

#include <set>

#include "app/MainLayout.h"

namespace parvox {
namespace {

TEST(MainLayout, ContainersAddTheirOffsets) {
  TwipRect send = AbsoluteTwips(MainControls(), *FindMainControl(kIdCmdSend));
  EXPECT_EQ(send.left, 4755 + 105 + 15);
  EXPECT_EQ(send.top, 30 + 3240 + 15);
  TwipRect list = AbsoluteTwips(MainControls(), *FindMainControl(kIdLvwAddressBook));
  EXPECT_EQ(list.left, 165);
  EXPECT_EQ(list.top, 255);
  EXPECT_EQ(list.width, 4485);
}

TEST(MainLayout, TabOrderIsUniqueAndStartsAtMessage) {
  std::set<int> seen;
  const ControlSpec* first = nullptr;
  for (const ControlSpec& control : MainControls()) {
    EXPECT_TRUE(seen.insert(control.tabIndex).second) << control.tabIndex;
    if (first == nullptr || control.tabIndex < first->tabIndex) first = &control;
  }
  EXPECT_EQ(first->id, kIdTxtMsg);
}

}  // namespace
}  // namespace parvox
