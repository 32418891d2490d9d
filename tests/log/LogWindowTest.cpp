// The log window as the rest of the program uses it: appends, Clear, Close, the title bar's
// close, Escape, and where the resize rule puts the controls.
#include <windows.h>

// The other platform headers build on windows.h.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "components/ScreenDpi.h"
#include "components/Window.h"
#include "log/Log.h"
#include "log/LogLayout.h"
#include "log/LogWindow.h"
#include "support/MainWindowFixture.h"

namespace parvox {
namespace {

using test::PumpMessages;

HWND Item(int id) { return GetDlgItem(LogWindowHandle(), id); }
bool Visible() { return IsWindowVisible(LogWindowHandle()) != FALSE; }

class LogWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
  }
  void TearDown() override {
    UnloadLogWindow();
    PumpMessages();
  }
  static void Click(LogControlId id) {
    SendMessageW(Item(id), BM_CLICK, 0, 0);
    PumpMessages();
  }
  int Px(int twips) const { return TwipsToPixels(twips, dpi); }

  int dpi = ScreenDpi();
};

TEST_F(LogWindowTest, AppendsLinesAndShowsOnlyWhenAsked) {
  LoadLogWindow();
  AppendLog(false, L"a");
  AppendLog(false, L"b");
  EXPECT_EQ(LogText(), L"a\r\nb\r\n");
  EXPECT_FALSE(Visible()) << "loading and quiet appends leave the window hidden";
  UnloadLogWindow();

  struct Case {
    const char* what;
    bool visibleBefore, show, visibleAfter;
  } cases[] = {
      {"not loaded, quiet", false, false, false},
      {"not loaded, show", false, true, true},
      {"shown, quiet", true, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.visibleBefore) ShowLogWindow();
    AppendLog(c.show, L"line");
    EXPECT_EQ(Visible(), c.visibleAfter);
    EXPECT_EQ(LogText(), L"line\r\n");
    UnloadLogWindow();
  }
}

TEST_F(LogWindowTest, LongLogKeepsEveryLine) {
  // Far past the text box's default limit, which would drop lines without a word.
  std::wstring line(1000, L'x'), expected;
  for (int i = 0; i < 100; ++i) {
    AppendLog(false, line);
    expected += line + L"\r\n";
  }
  std::wstring text = LogText();
  EXPECT_EQ(text.size(), expected.size());
  EXPECT_TRUE(text == expected);
}

// A log that would outgrow its ceiling drops whole lines from the top, says so in one line, and
// keeps every newer line in order.
TEST_F(LogWindowTest, KeepsItsNewestLinesUnderTheCeiling) {
  std::wstring filler;
  while (filler.size() < 990) filler += L"word ";
  constexpr int kLines = 1300;  // 1.3 million characters
  for (int i = 0; i < kLines; ++i) {
    AppendLog(false, L"line " + std::to_wstring(i) + L" " + filler);
    if (i % 20 == 19) test::PumpMessages();
  }
  const std::wstring marker =
      L"(Older lines were removed to keep the log under 1000000 characters.)\r\n";
  std::wstring text = LogText();
  EXPECT_LE(text.size(), 1000000u);
  ASSERT_EQ(text.compare(0, marker.size(), marker), 0);
  EXPECT_EQ(text.find(L"(Older", 1), std::wstring::npos) << "one marker, however many drops";
  size_t at = marker.size();
  int first = std::stoi(text.substr(at + 5, 8));
  for (int i = first; i < kLines; ++i) {
    std::wstring line = L"line " + std::to_wstring(i) + L" " + filler + L"\r\n";
    ASSERT_EQ(text.compare(at, line.size(), line), 0) << "line " << i;
    at += line.size();
  }
  EXPECT_EQ(at, text.size());
}

TEST_F(LogWindowTest, ClearEmptiesAndCloseKeeps) {
  AppendLog(true, L"a");
  Click(LogControlId::kCmdClear);
  EXPECT_EQ(LogText(), L"");
  AppendLog(false, L"b");
  HWND window = LogWindowHandle();
  Click(LogControlId::kCmdClose);
  EXPECT_FALSE(Visible());
  AppendLog(false, L"c");
  EXPECT_FALSE(Visible());
  LoadLogWindow();
  ShowLogWindow();
  EXPECT_EQ(LogWindowHandle(), window) << "one window for the whole run";
  EXPECT_TRUE(Visible());
  EXPECT_EQ(LogText(), L"b\r\nc\r\n");
}

TEST_F(LogWindowTest, TitleBarCloseDiscardsTheLog) {
  struct Case {
    const char* what;
    void (*next)();
    const wchar_t* text;
    bool visible;
  } cases[] = {
      {"then an append", [] { AppendLog(false, L"new"); }, L"new\r\n", false},
      {"then the Log command", [] { ShowLogWindow(); }, L"", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    AppendLog(true, L"old");
    HWND closed = LogWindowHandle();
    SendMessageW(closed, WM_SYSCOMMAND, SC_CLOSE, 0);
    PumpMessages();
    EXPECT_FALSE(IsWindow(closed));
    EXPECT_EQ(LogWindowHandle(), nullptr);
    c.next();
    ASSERT_NE(LogWindowHandle(), nullptr);
    EXPECT_EQ(LogText(), c.text);
    EXPECT_EQ(Visible(), c.visible);
    UnloadLogWindow();
  }
}

TEST_F(LogWindowTest, EscapeAndOtherClosesOnlyHide) {
  struct Case {
    const char* what;
    LogControlId focus;
    bool escape;
  } cases[] = {
      // Run as a dialog, the text box answers Escape by posting WM_CLOSE to the window.
      {"Escape in the text box", LogControlId::kTxtLog, true},
      {"Escape on a button", LogControlId::kCmdClear, true},
      {"a plain WM_CLOSE", LogControlId::kTxtLog, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    AppendLog(true, L"kept");
    HWND window = LogWindowHandle();
    SetFocus(Item(c.focus));
    MSG key{Item(c.focus), WM_KEYDOWN, VK_ESCAPE, 1};
    if (!c.escape) {
      SendMessageW(window, WM_CLOSE, 0, 0);
    } else if (!IsDialogMessageW(window, &key)) {
      DispatchMessageW(&key);
    }
    PumpMessages();
    EXPECT_EQ(LogWindowHandle(), window);
    EXPECT_FALSE(Visible());
    EXPECT_EQ(LogText(), L"kept\r\n");
    UnloadLogWindow();
  }
}

BOOL CALLBACK FindToolTips(HWND window, LPARAM found) {
  wchar_t className[64];
  GetClassNameW(window, className, 64);
  if (GetWindow(window, GW_OWNER) != LogWindowHandle() ||
      lstrcmpiW(className, TOOLTIPS_CLASSW) != 0) {
    return TRUE;
  }
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

TEST_F(LogWindowTest, WindowHasItsControlsAndTexts) {
  AppendLog(true, L"a");
  HWND window = LogWindowHandle();
  EXPECT_EQ(WindowText(window), L"Log");
  EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
  for (const ControlSpec& spec : LogControls()) {
    SCOPED_TRACE(static_cast<int>(spec.id));
    ASSERT_NE(Item(spec.id), nullptr);
    if (spec.kind != ControlKind::kRule && spec.kind != ControlKind::kReadOnlyText) {
      EXPECT_EQ(WindowText(Item(spec.id)), spec.caption);
    }
  }

  // Read-only, yet the user can select (and so copy).
  HWND box = Item(LogControlId::kTxtLog);
  SendMessageW(box, WM_CHAR, L'x', 1);
  SendMessageW(box, WM_CHAR, VK_BACK, 1);
  EXPECT_EQ(LogText(), L"a\r\n");
  SendMessageW(box, EM_SETSEL, 0, -1);
  DWORD start = 1, end = 0;
  SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(end - start, 3u);

  HWND title = Item(LogControlId::kLabTitle);
  auto titleFont = reinterpret_cast<HFONT>(SendMessageW(title, WM_GETFONT, 0, 0));
  LOGFONTW face{};
  GetObjectW(titleFont, sizeof face, &face);
  EXPECT_STREQ(face.lfFaceName, L"Tahoma");
  EXPECT_EQ(face.lfWeight, FW_BOLD);
  HDC dc = GetDC(title);
  HGDIOBJ previous = SelectObject(dc, titleFont);
  SIZE extent{};
  GetTextExtentPoint32W(dc, L"Logging", 7, &extent);
  SelectObject(dc, previous);
  ReleaseDC(title, dc);
  RECT titleBox;
  GetClientRect(title, &titleBox);
  EXPECT_GE(titleBox.right, extent.cx) << "the whole title shows";

  BITMAP logo{};
  GetObjectW(reinterpret_cast<HBITMAP>(
                 SendMessageW(Item(LogControlId::kImgLogo), STM_GETIMAGE, IMAGE_BITMAP, 0)),
             sizeof logo, &logo);
  EXPECT_EQ(logo.bmWidth, 48);
  EXPECT_EQ(logo.bmHeight, 48);

  HWND tips = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindToolTips, reinterpret_cast<LPARAM>(&tips));
  ASSERT_NE(tips, nullptr);
  for (LogControlId button : {LogControlId::kCmdClear, LogControlId::kCmdClose}) {
    wchar_t text[80] = L"";
    TTTOOLINFOW tool{TTTOOLINFOW_V2_SIZE, 0, window, reinterpret_cast<UINT_PTR>(Item(button))};
    tool.lpszText = text;
    SendMessageW(tips, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&tool));
    EXPECT_STREQ(text, FindLogControl(button)->toolTip);
  }
}

TEST_F(LogWindowTest, ResizeRulePlacesTheControls) {
  ShowLogWindow();
  HWND window = LogWindowHandle();
  struct Case {
    const char* what;
    int clientWidthTwips, clientHeightTwips;
  } cases[] = {
      {"design size", kLogClientWidthTwips, kLogClientHeightTwips},
      {"larger", 8880, 6595},
      {"as small as the frame allows", 15, 15},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RECT frame{0, 0, Px(c.clientWidthTwips), Px(c.clientHeightTwips)};
    AdjustWindowRectEx(&frame, GetWindowLongW(window, GWL_STYLE), FALSE, 0);
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    // The system may refuse a very small frame; the rule works from the size it got.
    RECT client;
    GetClientRect(window, &client);
    auto twips = [&](int pixels) { return static_cast<int>(PixelsToTwips(pixels, dpi) + 0.5); };
    int width = LogResizeWidth(twips(client.right)), height = LogResizeHeight(twips(client.bottom));
    for (const ControlSpec& spec : ResizedLogControls(width, height)) {
      SCOPED_TRACE(static_cast<int>(spec.id));
      RECT actual;
      GetWindowRect(Item(spec.id), &actual);
      MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&actual), 2);
      EXPECT_EQ(actual.left, Px(spec.rect.left));
      EXPECT_EQ(actual.top, Px(spec.rect.top));
      if (spec.kind != ControlKind::kHeaderTitle) {  // may be widened for its text, checked above
        EXPECT_EQ(actual.right - actual.left, Px(spec.rect.width));
      }
      EXPECT_EQ(actual.bottom - actual.top, Px(spec.rect.height));
    }
  }
  // The smallest height the frame allows reaches the floor. (Its minimum width stays above
  // the width floor, which the portable tests cover.)
  RECT text;
  GetWindowRect(Item(LogControlId::kTxtLog), &text);
  EXPECT_EQ(text.bottom - text.top, Px(15));
}

}  // namespace
}  // namespace parvox
