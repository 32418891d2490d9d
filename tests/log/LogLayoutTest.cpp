// The log window's control table and its resize rule.
#include <gtest/gtest.h>

#include "log/LogLayout.h"

namespace parvox {
namespace {

TwipRect RectOf(const std::vector<ControlSpec>& controls, LogControlId id) {
  for (const ControlSpec& control : controls) {
    if (control.id == id) return control.rect;
  }
  ADD_FAILURE() << "no control " << static_cast<int>(id);
  return {};
}

TEST(LogLayout, DesignSizeKeepsTheTextBoxAndButtonsInPlace) {
  // With the design frame added back, the rule puts the text box and buttons where the table
  // draws them.
  std::vector<ControlSpec> resized = ResizedLogControls(LogResizeWidth(kLogClientWidthTwips),
                                                        LogResizeHeight(kLogClientHeightTwips));
  ASSERT_EQ(resized.size(), 9u);
  for (LogControlId id :
       {LogControlId::kTxtLog, LogControlId::kCmdClear, LogControlId::kCmdClose}) {
    SCOPED_TRACE(static_cast<int>(id));
    TwipRect actual = RectOf(resized, id), design = FindLogControl(id)->rect;
    EXPECT_EQ(actual.left, design.left);
    EXPECT_EQ(actual.top, design.top);
    EXPECT_EQ(actual.width, design.width);
    EXPECT_EQ(actual.height, design.height);
  }
  EXPECT_EQ(RectOf(resized, LogControlId::kRuleBottom).top, 4035);
}

TEST(LogLayout, ResizeMovesOnlyWhatTheRuleNames) {
  struct Case {
    int width, height;
    int bodyWidth, bandWidth, ruleBottomTop, textWidth, textHeight, buttonTop, closeLeft;
  } cases[] = {
      {9000, 7000, 7500, 11500, 5980, 8730, 4705, 6085, 7290},
      // Small windows never get a negative or zero place: 15 is the floor.
      {1000, 1000, 15, 3500, 15, 730, 15, 85, 15},
      {0, 0, 15, 2500, 15, 15, 15, 15, 15},
      {1724, 2309, 224, 4224, 1289, 1454, 15, 1394, 15},
      {1726, 2311, 226, 4226, 1291, 1456, 16, 1396, 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
    std::vector<ControlSpec> resized = ResizedLogControls(c.width, c.height);
    auto rect = [&](LogControlId id) { return RectOf(resized, id); };
    EXPECT_EQ(rect(LogControlId::kLabBody).width, c.bodyWidth);
    EXPECT_EQ(rect(LogControlId::kLabHeaderBkg).width, c.bandWidth);
    EXPECT_EQ(rect(LogControlId::kRuleTop).width, c.bandWidth);
    EXPECT_EQ(rect(LogControlId::kRuleBottom).width, c.bandWidth);
    EXPECT_EQ(rect(LogControlId::kRuleBottom).top, c.ruleBottomTop);
    EXPECT_EQ(rect(LogControlId::kTxtLog).width, c.textWidth);
    EXPECT_EQ(rect(LogControlId::kTxtLog).height, c.textHeight);
    EXPECT_EQ(rect(LogControlId::kCmdClear).top, c.buttonTop);
    EXPECT_EQ(rect(LogControlId::kCmdClose).top, c.buttonTop);
    EXPECT_EQ(rect(LogControlId::kCmdClose).left, c.closeLeft);
    // Nothing else moves.
    EXPECT_EQ(rect(LogControlId::kTxtLog).left, 75);
    EXPECT_EQ(rect(LogControlId::kTxtLog).top, 1200);
    EXPECT_EQ(rect(LogControlId::kCmdClear).left, 75);
    EXPECT_EQ(rect(LogControlId::kRuleBottom).left, -135);
    EXPECT_EQ(rect(LogControlId::kLabTitle).width, 660);
  }
}

}  // namespace
}  // namespace parvox
