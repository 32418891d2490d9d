// Status bar panel lookup, measuring and layout arithmetic, with the numbers of a 300-pixel bar.
#include <gtest/gtest.h>

#include <climits>
#include <ostream>

#include "components/StatusBarLayout.h"

namespace parvox {

std::ostream& operator<<(std::ostream& out, const PanelRect& rect) {
  return out << "{" << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom
             << "}";
}

namespace {

using Rects = std::vector<PanelRect>;
constexpr PanelRect kClient{0, 0, 300, 23};

PanelSizing Fixed(int minWidth, bool spring = false) {
  return {.minWidth = minWidth, .spring = spring};
}

TEST(StatusBarLayout, OnlyWholeDecimalTextIsNumeric) {
  EXPECT_EQ(NumericTextValue(L" 2 "), 2);
  EXPECT_EQ(NumericTextValue(L"-1.5e3"), -1500);
  EXPECT_EQ(NumericTextValue(L"+.5"), 0.5);
  for (const wchar_t* key : {L"", L"abc", L"2a", L"1 2", L".", L"1e", L"0x10", L"inf", L"1e999"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(key)));
    EXPECT_EQ(NumericTextValue(key), std::nullopt);
  }
}

TEST(StatusBarLayout, FindsPanelsByPositionOrExactKey) {
  const std::vector<std::wstring> keys = {L"", L"Dup", L"dup", L"2", L"Dup"};
  auto keyAt = [&](int position) -> const std::wstring& { return keys.at(position - 1); };
  struct Case {
    PanelRef ref;
    std::optional<int> position;
  } cases[] = {
      {2, 2},
      {L"2", 2},  // numeric text is a position, so the panel keyed "2" is out of reach
      {L" 3 ", 3},
      {0, std::nullopt},
      {6, std::nullopt},
      {L"2.5", 2},  // rounds half to even, like a conversion to a whole number
      {L"3.5", 4},
      {L"0.4", std::nullopt},  // would round to 0, which is no panel
      {L"Dup", 2},             // the lower of two equal keys
      {L"dup", 3},             // letter case matters
      {L"DUP", std::nullopt},
      {L"", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.ref.Text()));
    EXPECT_EQ(FindPanel(c.ref, static_cast<int>(keys.size()), keyAt), c.position);
  }
  EXPECT_EQ(InvalidPanelIndexText(PanelRef(0).Text()), L"Invalid Panel Index: 0");
  EXPECT_EQ(InvalidPanelIndexText(PanelRef(L" 7.50").Text()), L"Invalid Panel Index:  7.50");
}

TEST(StatusBarLayout, VersionHeightAndIdealWidthArithmetic) {
  EXPECT_FALSE(VisualStylesSupported(0x00000005));  // 5.0
  EXPECT_FALSE(VisualStylesSupported(0x00005A04));  // 4.90
  EXPECT_TRUE(VisualStylesSupported(0x0A280105));   // 5.1, build 2600
  EXPECT_TRUE(VisualStylesSupported(0x00000006));
  EXPECT_EQ(HeightInTwips(23, 96), 345);
  EXPECT_EQ(HeightInTwips(23, 120), 276);
  EXPECT_EQ(HeightInTwips(23, 100), 331);  // 331.2
  EXPECT_EQ(IdealPanelWidth(60, 64), 72);
  EXPECT_EQ(IdealPanelWidth(52, 64), 64);
  EXPECT_EQ(IdealPanelWidth(INT_MAX, 0), INT_MAX);
}

TEST(StatusBarLayout, SpringPanelTakesTheSpareWidth) {
  EXPECT_TRUE(LayoutPanels({}, kClient, 0, 0, 16).empty());
  const PanelSizing one[] = {Fixed(64, true)};
  EXPECT_EQ(LayoutPanels(one, kClient, 0, 0, 0), (Rects{{0, 0, 300, 23}}));
  // The last of several panels adds half the height for a grip: 64 + 50 + 23 / 2 = 125.
  const PanelSizing two[] = {Fixed(64, true), Fixed(50)};
  EXPECT_EQ(LayoutPanels(two, kClient, 0, 0, 0), (Rects{{0, 0, 238, 23}, {239, 0, 300, 23}}));
  // 50 + 50 + 50 + 11 = 161, so 139 pixels are spare; without a spring the last panel takes them.
  const PanelSizing none[] = {Fixed(50), Fixed(50), Fixed(50)};
  EXPECT_EQ(LayoutPanels(none, kClient, 0, 0, 0),
            (Rects{{0, 0, 49, 23}, {50, 0, 99, 23}, {100, 0, 300, 23}}));
  const PanelSizing lastFlagged[] = {Fixed(50, true), Fixed(50, true), Fixed(50)};
  EXPECT_EQ(LayoutPanels(lastFlagged, kClient, 0, 0, 0),
            (Rects{{0, 0, 49, 23}, {50, 0, 238, 23}, {239, 0, 300, 23}}));
}

TEST(StatusBarLayout, IconsFittingAndOffsetsAddUp) {
  const PanelSizing panels[] = {
      {.minWidth = 40, .idealWidth = 90, .fitToContents = true},
      {.minWidth = 40, .idealWidth = 90, .hasIcon = true},
      {.minWidth = 40, .spring = true},
  };
  // Offsets move the first panel's edges and shrink the allowance, (23 - 3) / 2 = 10; the
  // boundaries still count from 0: 90, 90 + 40 + 16, then the spring ends at 300.
  EXPECT_EQ(LayoutPanels(panels, kClient, 5, 3, 16),
            (Rects{{5, 3, 89, 23}, {90, 3, 145, 23}, {146, 3, 300, 23}}));
}

TEST(StatusBarLayout, PanelsWiderThanTheBarAreNeitherShrunkNorAllDrawn) {
  const PanelSizing panels[] = {Fixed(200, true), Fixed(200), Fixed(200)};
  Rects rects = LayoutPanels(panels, kClient, 0, 0, 0);
  EXPECT_EQ(rects, (Rects{{0, 0, 199, 23}, {200, 0, 399, 23}, {400, 0, 611, 23}}));
  EXPECT_EQ(VisiblePanelRects(rects, 300), (Rects{{0, 0, 199, 23}, {200, 0, 299, 23}}));
  EXPECT_EQ(VisiblePanelRects(LayoutPanels(panels, {0, 0, 700, 23}, 0, 0, 0), 700).size(), 3u);
}

TEST(StatusBarLayout, ExtremeWidthsAndOffsetsSaturate) {
  const PanelSizing panels[] = {{.minWidth = INT_MAX, .hasIcon = true}, Fixed(INT_MAX)};
  Rects rects = LayoutPanels(panels, kClient, INT_MAX, INT_MIN, INT_MAX);
  ASSERT_EQ(rects.size(), 2u);
  EXPECT_EQ(rects[0], (PanelRect{INT_MAX, INT_MIN, INT_MAX, 23}));
  EXPECT_EQ(rects[1].right, INT_MAX);
  EXPECT_EQ(PanelIconTop({0, INT_MAX, 0, INT_MAX}, INT_MIN, false), INT_MAX);
  EXPECT_EQ(PanelIconLeft({INT_MAX, 0, 0, 0}), INT_MAX);
  EXPECT_EQ(TextLeftAfterIcon(INT_MAX, 16), INT_MAX);
}

TEST(StatusBarLayout, IconsAreCentredVertically) {
  EXPECT_EQ(PanelIconTop({0, 0, 50, 23}, 16, false), 3);
  EXPECT_EQ(PanelIconTop({0, 0, 50, 23}, 16, true), 4);
  EXPECT_EQ(PanelIconTop({0, 10, 50, 20}, 16, false), 7) << "taller icons rise above the top";
}

}  // namespace
}  // namespace parvox
