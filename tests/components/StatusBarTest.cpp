// The status bar on a real 300 x 23 window: its errors, panels and icons, when it repaints,
// the theme calls it makes or falls back from, and the pixels it leaves behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/StatusHost.h"
#include "components/StatusBar.h"

namespace parvox {
namespace {

constexpr int kWidth = 300, kHeight = 23;
// A 16-pixel icon in an unthemed panel: centred in the 21 rows inside the one-pixel edges, the odd
// spare row below it, so on rows 3 to 18.
constexpr int kIconTop = 3;
const COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255);

template <typename Call>
std::optional<StatusBarError> ErrorOf(Call call) {
  try {
    call();
  } catch (const StatusBarError& error) {
    return error;
  }
  return std::nullopt;
}

std::string RectText(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
         "," + std::to_string(r.bottom);
}

// Theme routines that record what a paint asks of them.
struct FakeTheme {
  static inline const HTHEME kTheme = reinterpret_cast<HTHEME>(0x5A7);
  static inline std::vector<std::string> calls;
  static inline DWORD version;
  static inline HTHEME opened;
  static inline HRESULT background;

  static DWORD WINAPI Version() { return version; }
  static HTHEME WINAPI Open(HWND, LPCWSTR name) {
    calls.push_back("open " + std::string(name, name + wcslen(name)));
    return opened;
  }
  static HRESULT WINAPI Background(HTHEME, HDC, int part, int, const RECT* rect, const RECT*) {
    calls.push_back("background " + std::to_string(part) + " " + RectText(*rect));
    return background;
  }
  static HRESULT WINAPI Content(HTHEME, HDC, int, int, const RECT* rect, RECT* content) {
    *content = {rect->left + 1, rect->top + 1, rect->right - 1, rect->bottom - 1};
    return S_OK;
  }
  static HRESULT WINAPI Text(HTHEME, HDC, int part, int, LPCWSTR text, int, DWORD flags, DWORD,
                             const RECT* rect) {
    calls.push_back("text " + std::to_string(part) + " '" + std::string(text, text + wcslen(text)) +
                    "' " + std::to_string(flags) + " " + RectText(*rect));
    return S_OK;
  }
  static HRESULT WINAPI Close(HTHEME theme) {
    calls.push_back(theme == kTheme ? "close" : "close other");
    return S_OK;
  }
};

HICON SolidIcon(COLORREF c) {
  std::vector<DWORD> pixels(256, DWORD{GetRValue(c)} << 16 | GetGValue(c) << 8 | GetBValue(c));
  const BYTE opaque[32] = {};
  return CreateIcon(nullptr, 16, 16, 1, 32, opaque, reinterpret_cast<const BYTE*>(pixels.data()));
}

bool IconAlive(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return false;
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return true;
}

int Brightness(COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); }
bool NotFace(COLORREF c) { return c != GetSysColor(COLOR_BTNFACE); }
bool IsDark(COLORREF c) { return Brightness(c) < 3 * 0x60; }

struct Pixels {
  std::vector<COLORREF> colours;
  COLORREF At(int x, int y) const { return colours[static_cast<size_t>(y * kWidth + x)]; }
  int Count(RECT area, bool (*test)(COLORREF)) const {
    int found = 0;
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x) found += test(At(x, y)) ? 1 : 0;
    return found;
  }
};

class StatusBarTest : public testing::Test {
 protected:
  // Without a window manager, Wine waits two seconds whenever a top-level window goes, so one
  // frame serves all tests and each test draws on a child of it.
  static void SetUpTestSuite() {
    frame = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 100, 100,
                            kWidth, kHeight, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  static void TearDownTestSuite() { DestroyWindow(frame); }
  void SetUp() override {
    window = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, kWidth, kHeight, frame,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    LOGFONTW face{};
    face.lfHeight = 13;
    wcscpy_s(face.lfFaceName, L"Tahoma");
    font.Reset(CreateFontIndirectW(&face));
    surface = std::make_unique<WindowSurface>(window, font.Get());
    images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 3, 0);
    for (COLORREF colour : {kRed, kGreen, kBlue}) {
      IconHandle icon(SolidIcon(colour));
      ImageList_AddIcon(images, icon.Get());
    }
  }
  void TearDown() override {
    SetVisualStyleApi(RealVisualStyleApi());
    surface.reset();
    DestroyWindow(window);
    ImageList_Destroy(images);
  }
  void UseFakeTheme() {
    FakeTheme::calls.clear();
    FakeTheme::version = 0x0A;
    FakeTheme::opened = FakeTheme::kTheme;
    FakeTheme::background = S_OK;
    SetVisualStyleApi({FakeTheme::Version, FakeTheme::Open, FakeTheme::Background,
                       FakeTheme::Content, FakeTheme::Text, FakeTheme::Close});
  }
  // A created bar with panels keyed a, b, c showing images 0, 1, 2.
  std::unique_ptr<StatusBar> ThreePanels() {
    auto bar = std::make_unique<StatusBar>();
    bar->Create(*surface);
    bar->ImageList(images);
    for (int i = 0; i < 3; ++i) {
      std::wstring key(1, static_cast<wchar_t>(L'a' + i));
      bar->AddPanel(0, L"text " + key, i, 50, false, false, 0, key);
    }
    return bar;
  }
  void Blacken() {
    RECT all{0, 0, kWidth, kHeight};
    FillRect(surface->hdc(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  }
  Pixels Capture() const {
    Pixels pixels;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) pixels.colours.push_back(GetPixel(surface->hdc(), x, y));
    return pixels;
  }

  static inline HWND frame = nullptr;
  HWND window = nullptr;
  FontHandle font;
  std::unique_ptr<WindowSurface> surface;
  HIMAGELIST images = nullptr;
};

TEST_F(StatusBarTest, MisuseFailsWithNumberSourceAndTextAndChangesNothing) {
  auto bar = ThreePanels();
  HICON before = bar->PanelhIcon(1);
  IconHandle offered(SolidIcon(kBlue));
  int l, t, r, b;
  struct Case {
    const char* what;
    std::function<void()> call;
    const wchar_t* shown;
  } cases[] = {
      {"position 0", [&] { bar->PanelIndex(0); }, L"0"},
      {"unknown key", [&] { bar->PanelText(L"abc", L"x"); }, L"abc"},
      {"letter case", [&] { bar->RemovePanel(L"A"); }, L"A"},
      {"past the end", [&] { bar->PanelIcon(4, 0); }, L"4"},
      {"key of position 0", [&] { bar->PanelKey(0, L"x"); }, L"0"},
      {"rectangle", [&] { bar->GetPanelRect(L"zz", l, t, r, b); }, L"zz"},
      {"insert before nothing",
       [&] { bar->AddPanel(0, L"new", 0, 50, true, false, 0, L"n", PanelRef(L"zz")); }, L"zz"},
      {"icon for nothing", [&] { bar->PanelhIcon(9, offered.Get()); }, L"9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::optional<StatusBarError> error = ErrorOf(c.call);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->Number(), 0x8004041Au);
    EXPECT_EQ(error->Source(), L"parvox_win_tests.koraStatusBar");
    EXPECT_EQ(error->Description(), L"Invalid Panel Index: " + std::wstring(c.shown));
    ASSERT_EQ(bar->PanelCount(), 3);
    EXPECT_EQ(bar->PanelKey(1) + bar->PanelKey(2) + bar->PanelKey(3), L"abc");
    EXPECT_EQ(bar->PanelhIcon(1), before);
  }
  EXPECT_TRUE(IconAlive(offered.Get())) << "a refused icon stays the caller's";
  EXPECT_FALSE(bar->PanelExists(L"nope")) << "and no error";
  bar->PanelKey(3, L"2");
  EXPECT_EQ(bar->PanelIndex(L"2"), 2) << "numeric text is a position, never a key";
}

TEST_F(StatusBarTest, The256thPanelIsRefused) {
  StatusBar bar;  // no host, so the additions do not paint 255 panels each time
  for (int i = 0; i < kMaxPanels; ++i) bar.AddPanel(0, L"", -1, 10, false, false, 0, L"");
  auto error = ErrorOf([&] { bar.AddPanel(0, L"", -1, 10, false, false, 0, L"", PanelRef(1)); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Number(), 0x8004041Bu);
  EXPECT_EQ(error->Source(), L"parvox_win_tests.koraStatusBar");
  EXPECT_EQ(error->Description(), L"Too many panels.");
  EXPECT_EQ(bar.PanelCount(), 255);
}

TEST_F(StatusBarTest, CreateRefusesSomethingThatCannotBeDrawnOn) {
  HWND gone = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 9, 9, frame, nullptr, nullptr, 0);
  DestroyWindow(gone);
  WindowSurface destroyed(gone, font.Get());
  StatusBar bar;
  bar.Create(*surface);
  auto error = ErrorOf([&] { bar.Create(destroyed); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Number(), 9u);
  EXPECT_EQ(error->Source(), L"parvox_win_tests.cNoStatusBar");
  EXPECT_EQ(error->Description(), L"Invalid object passed to Create.");
  EXPECT_EQ(bar.Font(), nullptr) << "the bar keeps no host after a failed Create";
  Blacken();
  bar.Draw();
  EXPECT_EQ(Capture().Count({0, 0, kWidth, kHeight}, NotFace), kWidth * kHeight);
}

TEST_F(StatusBarTest, InsertingBeforeAPanelKeepsEachIconWithItsPanel) {
  StatusBar bar;
  bar.Create(*surface);
  bar.AllowXPStyles(false);
  bar.ImageList(images);
  bar.AddPanel(0, L"", 0, 60, false, false, 0, L"old");
  HICON oldIcon = bar.PanelhIcon(L"old");
  bar.AddPanel(0, L"", 1, 60, false, false, 0, L"new", PanelRef(L"old"));
  EXPECT_EQ(bar.PanelIndex(L"new"), 1);
  EXPECT_EQ(bar.PanelhIcon(2), oldIcon);
  EXPECT_EQ(bar.PanelIcon(1), 1);
  // On screen the new panel shows image 1 (green); the old one, from 60 + 16, image 0 (red).
  Pixels pixels = Capture();
  int middle = kIconTop + 8;
  EXPECT_EQ(pixels.At(2 + 8, middle), kGreen);
  EXPECT_EQ(pixels.At(76 + 2 + 8, middle), kRed);
}

TEST_F(StatusBarTest, TheBarOwnsAndDestroysItsIcons) {
  using Bar = std::optional<StatusBar>;
  std::pair<const char*, std::function<void(Bar&)>> cases[] = {
      {"image index -1", [](Bar& bar) { bar->PanelIcon(1, -1); }},
      {"image index not in the list",
       [](Bar& bar) {
         bar->PanelIcon(1, 99);
         EXPECT_EQ(bar->PanelhIcon(1), nullptr);
       }},
      {"another handle", [](Bar& bar) { bar->PanelhIcon(1, SolidIcon(kBlue)); }},
      {"panel removed", [](Bar& bar) { bar->RemovePanel(1); }},
      {"bar destroyed", [](Bar& bar) { bar.reset(); }},
  };
  for (const auto& [what, dropIcon] : cases) {
    SCOPED_TRACE(what);
    Bar bar(std::in_place);
    bar->Create(*surface);
    bar->ImageList(images);
    bar->AddPanel(0, L"", -1, 60, false, false, 0, L"");
    EXPECT_EQ(bar->PanelhIcon(1), nullptr);
    HICON given = SolidIcon(kRed);
    bar->PanelhIcon(1, given);
    bar->PanelhIcon(1, given);
    ASSERT_TRUE(IconAlive(given)) << "giving the same icon again keeps it";
    dropIcon(bar);
    EXPECT_FALSE(IconAlive(given));
  }
}

TEST_F(StatusBarTest, OnlyTheMembersThatDrawRepaint) {
  UseFakeTheme();
  auto bar = ThreePanels();
  bar->PanelSpring(1, true);
  struct Case {
    const char* what;
    std::function<void()> call;
    int paints;
  } cases[] = {
      {"simple text, simple mode off", [&] { bar->SimpleText(L"x"); }, 0},
      {"simple mode", [&] { bar->SimpleMode(true); }, 1},
      {"simple text, simple mode on", [&] { bar->SimpleText(L"y"); }, 1},
      {"size grip", [&] { bar->SizeGrip(true); }, 1},
      {"panel text", [&] { bar->PanelText(2, L"t"); }, 1},
      {"panel style", [&] { bar->PanelStyle(2, 0x200); }, 1},
      {"panel icon", [&] { bar->PanelIcon(2, 0); }, 1},
      {"panel icon handle", [&] { bar->PanelhIcon(2, SolidIcon(kBlue)); }, 1},
      {"spring", [&] { bar->PanelSpring(2, true); }, 0},
      {"fit to contents", [&] { bar->PanelFitToContents(2, true); }, 0},
      {"ideal width", [&] { bar->PanelIdealWidth(2, 99); }, 0},
      {"key", [&] { bar->PanelKey(2, L"k"); }, 0},
      {"offsets", [&] { bar->SetLeftTopOffsets(1, 1); }, 0},
      {"image list", [&] { bar->ImageList(images); }, 0},
      {"font", [&] { bar->Font(font.Get()); }, 0},
      {"styles", [&] { bar->AllowXPStyles(true); }, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeTheme::calls.clear();
    c.call();
    EXPECT_EQ(std::count(FakeTheme::calls.begin(), FakeTheme::calls.end(), "open Status"),
              c.paints);
  }
  EXPECT_EQ(bar->PanelStyle(1) + bar->PanelStyle(3), 0u) << "the style went to panel 2 only";
  EXPECT_TRUE(!bar->PanelSpring(1) && bar->PanelSpring(2) && !bar->PanelSpring(3));
}

TEST_F(StatusBarTest, StylesNeedWindows51) {
  UseFakeTheme();
  FakeTheme::version = 0x0005;
  StatusBar old;
  FakeTheme::version = 0x0105;
  StatusBar xp;
  EXPECT_FALSE(old.AllowXPStyles());
  auto error = ErrorOf([&] { old.AllowXPStyles(true); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->Number(), 0x8004041Cu);
  EXPECT_EQ(error->Description(), L"XP Styles not supported on this Windows installation.");
  xp.AllowXPStyles(false);
  EXPECT_TRUE(xp.AllowXPStyles()) << "reads support, not the setting";
  xp.Create(*surface);
  xp.Draw();
  EXPECT_TRUE(FakeTheme::calls.empty()) << "styles switched off: no theme calls";
}

TEST_F(StatusBarTest, HeightIsTheTextHeightPlus10InTwips) {
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  if (dpi != 96) GTEST_SKIP() << "expectations are for 96 dpi";
  StatusBar bar;
  bar.Create(*surface);
  EXPECT_EQ(bar.Height(), 345);  // (13 + 10) pixels x 15
  LOGFONTW face{};
  face.lfHeight = 20;
  FontHandle larger(CreateFontIndirectW(&face));
  bar.Font(larger.Get());
  EXPECT_EQ(bar.Height(), 450);
  bar.Font(font.Get());
}

TEST_F(StatusBarTest, ThemedPaintUsesTheStatusParts) {
  UseFakeTheme();
  StatusBar bar;
  bar.Create(*surface);
  bar.ImageList(images);
  bar.AddPanel(kPanelOwnerDraw, L"one", -1, 100, false, false, 0, L"");
  bar.AddPanel(kPanelOwnerDraw, L"two", 0, 100, false, false, 0, L"");
  bar.SizeGrip(true);
  std::vector<std::string> events;
  bar.OwnerDraw = [&](HDC dc, int& left, int& top, int& right, int& bottom, bool& doDefault) {
    EXPECT_EQ(dc, surface->hdc());
    events.push_back(RectText({left, top, right, bottom}));
    if (events.size() == 1) doDefault = false;  // for this panel only
    left += 5;
  };
  FakeTheme::calls.clear();
  bar.Draw();
  EXPECT_EQ(FakeTheme::calls,
            (std::vector<std::string>{"open Status", "background 4 0,0,300,23",
                                      "background 1 0,0,99,23", "background 2 100,0,300,23",
                                      "text 1 'two ' 262180 126,1,299,22",  // 105 + 1 + 16 + 4
                                      "background 3 277,0,300,23", "close"}));
  EXPECT_EQ(events, (std::vector<std::string>{"0,0,99,23", "100,0,300,23"}));

  FakeTheme::calls.clear();
  bar.SimpleText(L"simple");
  bar.SimpleMode(true);
  EXPECT_EQ(FakeTheme::calls[2], "background 2 0,0,300,23");
  EXPECT_EQ(FakeTheme::calls[3], "text 2 'simple ' 36 1,1,299,22");
}

TEST_F(StatusBarTest, FailingThemeFallsBackToClassicPainting) {
  auto bar = ThreePanels();
  bar->SizeGrip(true);
  bar->AllowXPStyles(false);
  bar->Draw();
  Pixels classic = Capture();
  UseFakeTheme();
  bar->AllowXPStyles(true);
  FakeTheme::opened = nullptr;
  Blacken();
  bar->Draw();
  EXPECT_EQ(FakeTheme::calls, std::vector<std::string>{"open Status"});
  EXPECT_EQ(Capture().colours, classic.colours);

  UseFakeTheme();
  FakeTheme::background = E_FAIL;
  Blacken();
  bar->Draw();
  EXPECT_EQ(FakeTheme::calls,
            (std::vector<std::string>{"open Status", "background 4 0,0,300,23", "close"}));
  EXPECT_EQ(Capture().colours, classic.colours);
}

TEST_F(StatusBarTest, ClassicPaintShowsPanelsTextIconsAndGrip) {
  StatusBar bar;
  bar.Create(*surface);
  bar.AllowXPStyles(false);
  bar.ImageList(images);
  RECT all{0, 0, kWidth, kHeight}, grip{kWidth - kHeight, 0, kWidth, kHeight};
  bar.Draw();
  EXPECT_EQ(Capture().Count(all, NotFace), 0) << "no panels: only the background";
  bar.SizeGrip(true);
  Pixels pixels = Capture();
  EXPECT_GT(pixels.Count(grip, NotFace), 20) << "the grip";
  EXPECT_EQ(pixels.Count({0, 0, kWidth - kHeight, kHeight}, NotFace), 0);

  bar.SizeGrip(false);
  bar.AddPanel(0, L"Loading..", 2, 64, true, false, 0, L"");
  pixels = Capture();
  EXPECT_EQ(pixels.Count({kWidth - kHeight, 2, kWidth - 2, kHeight - 2}, NotFace), 0);
  EXPECT_EQ(pixels.At(kWidth / 2, 0), GetSysColor(COLOR_BTNSHADOW)) << "sunken edge";
  EXPECT_EQ(pixels.At(kWidth - 1, 5), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(pixels.At(2, kIconTop), kBlue);
  EXPECT_EQ(pixels.At(17, kIconTop + 15), kBlue);
  EXPECT_GT(pixels.Count({22, 2, 100, kHeight - 2}, IsDark), 20) << "the text";
}

TEST_F(StatusBarTest, ImageListObjectGivesTheIconSizeOnlyWhenOutOfStep) {
  struct Case {
    const char* what;
    int count;
    const wchar_t* type;
    bool drawFails, handleFails;
    int panelRight;  // 40 + icon size - 1
  } cases[] = {
      {"out of step", 5, L"ImageList", false, false, 59},
      {"in step", 3, L"ImageList", false, false, 55},
      {"another type", 5, L"ImageListEx", false, false, 55},
      {"Draw fails", 5, L"ImageList", true, false, 55},
      {"no handle: no icons", 5, L"ImageList", false, true, 39},
  };
  struct FakeList : ImageListObject {
    FakeList(const Case& c, HIMAGELIST handle) : c(c), handle(handle) {}
    const Case& c;
    HIMAGELIST handle;
    int ListImagesCount() const override { return c.count; }
    void DrawListImage(int, HDC, int, int, int) override {
      if (c.drawFails) throw std::runtime_error("Draw");
    }
    HIMAGELIST hImageList() const override {
      return c.handleFails ? throw std::runtime_error("hImageList") : handle;
    }
    int ImageHeight() const override { return 20; }
    std::wstring TypeName() const override { return c.type; }
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StatusBar bar;
    bar.Create(*surface);
    FakeList list(c, images);
    bar.ImageList(list);
    bar.AddPanel(0, L"", 0, 40, false, false, 0, L"");
    bar.AddPanel(0, L"", 0, 40, false, false, 0, L"");
    int left, top, right, bottom;
    bar.GetPanelRect(1, left, top, right, bottom);
    EXPECT_EQ(right, c.panelRight);
  }
}

TEST_F(StatusBarTest, StatusHostStartsWithOneLoadingPanelAndFollowsTheText) {
  StatusHost host;
  ASSERT_NE(host.Create(window, 0, 0, kWidth, kHeight, font.Get(), images), nullptr);
  const StatusBar& bar = host.Bar();
  ASSERT_EQ(bar.PanelCount(), 1);
  EXPECT_EQ(bar.PanelText(1), L"Loading..");
  EXPECT_TRUE(bar.PanelIcon(1) == 0 && bar.PanelhIcon(1) != nullptr);
  EXPECT_TRUE(bar.PanelSpring(1) && !bar.PanelFitToContents(1) && !bar.SizeGrip());
  EXPECT_EQ(bar.PanelMinWidth(1), 64);
  host.SetText(L"Ready");
  EXPECT_EQ(host.Text(), L"Ready");
  EXPECT_EQ(bar.PanelText(1), L"Ready");
  MoveWindow(host.Handle(), 0, 0, 200, kHeight, TRUE);
  int left, top, right, bottom;
  bar.GetPanelRect(1, left, top, right, bottom);
  EXPECT_EQ(right, 200) << "laid out again on resize";
  EXPECT_GT(Capture().Count({22, 2, 100, kHeight - 2}, IsDark), 20) << "the text on screen";
}

}  // namespace
}  // namespace parvox
