// The separator rule on real windows: where its lines go as it changes shape and orientation,
// and the colours it paints.
#include <gtest/gtest.h>

#include "components/MultiRule.h"
#include "components/ScreenDpi.h"
#include "components/Twips.h"

namespace parvox {
namespace {

class MultiRuleTest : public testing::Test {
 protected:
  void SetUp() override {
    host = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 500,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  void TearDown() override { DestroyWindow(host); }

  int Px(int twips) const { return TwipsToPixels(twips, dpi); }
  // The lines in twips of a control `width` or `height` twips long.
  static RuleLines Horizontal(int width) {
    return {.hiLite = {0, 20, width, 20}, .loLite = {0, 0, width, 0}};
  }
  static RuleLines Vertical(int height, int darkTop) {
    return {.hiLite = {20, 30, 20, height}, .loLite = {2, darkTop, 2, height}};
  }

  int dpi = ScreenDpi();
  HWND host = nullptr;
};

TEST_F(MultiRuleTest, LinesFollowShapeAndOrientation) {
  // Every size below is a whole number of pixels at 96 dpi (15 twips each), so the rule measures
  // back the twips it was made with.
  ASSERT_EQ(dpi, 96);
  MultiRule rule;
  ASSERT_NE(rule.Create(host, 7, 0, 0, Px(4200), Px(105)), nullptr);
  EXPECT_EQ(GetDlgCtrlID(rule.Handle()), 7);
  EXPECT_EQ(rule.Lines(), Horizontal(4200));
  SetWindowPos(rule.Handle(), nullptr, 0, 0, Px(6000), Px(105), SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(rule.Lines(), Horizontal(6000));
  SetWindowPos(rule.Handle(), nullptr, 0, 0, Px(900), Px(900), SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(rule.Lines(), Vertical(900, 0)) << "a square is vertical";

  rule.SetOrientation(1);
  EXPECT_EQ(rule.Orientation(), 1);
  EXPECT_EQ(rule.Lines().hiLite, Horizontal(900).hiLite) << "placed at once";
  rule.SetOrientation(3);
  RuleLines kept = rule.Lines();
  SetWindowPos(rule.Handle(), nullptr, 0, 0, Px(105), Px(3000), SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(rule.Lines(), kept) << "3 leaves the lines where they were";

  MultiRule stored;
  stored.Create(host, 8, 0, 0, Px(3000), Px(105), 2);
  EXPECT_EQ(stored.Lines(), Vertical(105, 45)) << "a stored orientation applies from the start";
}

// Paints the rule into a bitmap of its size through WM_PRINTCLIENT and reads pixels back.
class Rendering {
 public:
  explicit Rendering(HWND rule) {
    RECT client;
    GetClientRect(rule, &client);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), client.right, -client.bottom, 1, 32, BI_RGB};
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    previous_ = SelectObject(dc_, bitmap_);
    SendMessageW(rule, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc_), PRF_CLIENT);
  }
  ~Rendering() {
    SelectObject(dc_, previous_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }

 private:
  HDC dc_ = CreateCompatibleDC(nullptr);
  HBITMAP bitmap_;
  HGDIOBJ previous_;
};

TEST_F(MultiRuleTest, PaintsTheDarkLineAboveOrLeftOfTheLightOne) {
  const COLORREF dark = GetSysColor(COLOR_BTNSHADOW), light = GetSysColor(COLOR_BTNHIGHLIGHT),
                 face = GetSysColor(COLOR_BTNFACE);
  MultiRule wide, tall;
  wide.Create(host, 1, 0, 0, Px(4200), Px(105));
  tall.Create(host, 2, 0, 0, Px(105), Px(3000));
  Rendering across(wide.Handle()), down(tall.Handle());
  int right = Px(4200) - 1, bottom = Px(3000) - 1;
  struct Probe {
    const Rendering& image;
    int x, y;
    COLORREF colour;
  } probes[] = {
      {across, 0, 0, dark},
      {across, right, 0, dark},
      {across, 0, Px(20), light},
      {across, right, Px(20), light},
      {across, right, Px(105) - 1, face},
      {down, Px(2), bottom, dark},
      {down, Px(20), bottom, light},
      {down, Px(2), Px(45), dark},
      {down, Px(20), Px(30), light},
      {down, Px(2), 0, face},
      {down, Px(105) - 1, bottom, face},
  };
  for (const Probe& p : probes) {
    SCOPED_TRACE(testing::Message()
                 << (&p.image == &across ? "across" : "down") << " at " << p.x << "," << p.y);
    EXPECT_EQ(p.image.At(p.x, p.y), p.colour);
  }
}

}  // namespace
}  // namespace parvox
