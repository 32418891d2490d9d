// Placement of the separator rule's lines for each orientation and shape.
#include <gtest/gtest.h>

#include "components/RuleGeometry.h"

namespace parvox {
namespace {

constexpr RuleLines kInitial{.hiLite = {0, 60, 4200, 60}, .loLite = {0, 45, 4200, 45}};

TEST(RuleGeometry, PlacementByOrientationAndShape) {
  struct Case {
    const char* what;
    int orientation, width, height;
    RulePlacement expected;
  } cases[] = {
      {"wide, automatic", 0, 4200, 105, RulePlacement::kHorizontal},
      {"square counts as vertical", 0, 300, 300, RulePlacement::kVertical},
      {"horizontal though tall", 1, 105, 4200, RulePlacement::kHorizontal},
      {"vertical though wide", 2, 4200, 105, RulePlacement::kVertical},
      {"3 places nothing", 3, 4200, 105, RulePlacement::kUnchanged},
      {"negative places nothing", -1, 4200, 105, RulePlacement::kUnchanged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ChooseRulePlacement(c.orientation, c.width, c.height), c.expected);
  }
}

TEST(RuleGeometry, LinesForEachPlacement) {
  EXPECT_EQ(InitialRuleLines(), kInitial);
  RuleLines lines = kInitial;
  PlaceRuleLines(lines, 0, 4200, 105);
  EXPECT_EQ(lines, (RuleLines{.hiLite = {0, 20, 4200, 20}, .loLite = {0, 0, 4200, 0}}));
  PlaceRuleLines(lines, 0, 6000, 105);
  EXPECT_EQ(lines, (RuleLines{.hiLite = {0, 20, 6000, 20}, .loLite = {0, 0, 6000, 0}}));
  PlaceRuleLines(lines, 3, 90, 9000);
  EXPECT_EQ(lines.loLite, (RuleLine{0, 0, 6000, 0})) << "an unknown orientation moves nothing";

  // Each placement leaves one end of the dark line where the other put it.
  PlaceRuleLines(lines, 0, 300, 300);
  EXPECT_EQ(lines, (RuleLines{.hiLite = {20, 30, 20, 300}, .loLite = {2, 0, 2, 300}}));
  PlaceRuleLines(lines, 1, 300, 300);
  EXPECT_EQ(lines.loLite, (RuleLine{2, 0, 300, 0}));
  lines = kInitial;
  PlaceRuleLines(lines, 2, 4200, 105);
  EXPECT_EQ(lines.loLite, (RuleLine{2, 45, 2, 105}));
}

}  // namespace
}  // namespace parvox
