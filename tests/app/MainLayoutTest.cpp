// The main window's control table.
#include <gtest/gtest.h>

#include <set>

#include "app/MainLayout.h"

namespace parvox {
namespace {

TEST(MainLayout, ContainersAddTheirOffsets) {
  // Send is two containers deep: 15 x 15 twips into its strip, which is 105 x 3240 into the
  // message frame at 4755 x 30.
  TwipRect send = AbsoluteTwips(MainControls(), *FindMainControl(kIdCmdSend));
  EXPECT_EQ(send.left, 4875);
  EXPECT_EQ(send.top, 3285);
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
