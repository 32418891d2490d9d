// The main window's control table and twip arithmetic.
#include "app/MainLayout.h"

#include <gtest/gtest.h>

#include <set>

namespace parvox {
namespace {

TEST(MainLayout, ContainersAddTheirOffsets) {
  TwipRect send = AbsoluteTwips(*FindMainControl(kIdCmdSend));
  EXPECT_EQ(send.left, 4755 + 105 + 15);
  EXPECT_EQ(send.top, 30 + 3240 + 15);
  TwipRect list = AbsoluteTwips(*FindMainControl(kIdLvwAddressBook));
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

TEST(MainLayout, TwipsAndPixels) {
  EXPECT_EQ(TwipsToPixels(8820, 96), 588);
  EXPECT_EQ(TwipsToPixels(4155, 96), 277);
  EXPECT_EQ(TwipsToPixels(1750, 120), 146);  // 145.83 rounds up
  EXPECT_EQ(TwipsToPixels(15, 144), 2);      // 1.5 rounds up
  EXPECT_DOUBLE_EQ(PixelsToTwips(117, 96), 1755);
  EXPECT_EQ(TwipsText(1755), L"1755");
  EXPECT_EQ(TwipsText(PixelsToTwips(117, 100)), L"1684.8");
  EXPECT_EQ(TwipsText(0), L"0");
}

}  // namespace
}  // namespace parvox
