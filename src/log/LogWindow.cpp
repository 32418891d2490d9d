// The log window: builds its controls from the table, follows the resize rule and keeps the
// log text in its text box.
#include "log/LogWindow.h"

#include <commctrl.h>

#include "resource.h"

namespace parvox {
namespace {

constexpr wchar_t kLogClass[] = L"ParvoxLog";
constexpr DWORD kLogStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
constexpr int kLogoPixels = 48;
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr UINT kTakePendingLines = WM_APP + 20;
// What the text box takes in one turn of the message loop: a few dozen milliseconds of layout
// under Wine.
constexpr size_t kCharsPerTurn = 8 * 1024;

template <typename Draw>
void DrawFilled(HDC dc, COLORREF fill, COLORREF edge, Draw draw) {
  GdiObject brush(CreateSolidBrush(fill));
  GdiObject pen(CreatePen(PS_SOLID, 1, edge));
  ScopedSelectObject brushSelected(dc, brush.Get());
  ScopedSelectObject penSelected(dc, pen.Get());
  draw();
}

// A sheet with lines of text and a round information badge, on the header's white.
void DrawLogo(HDC dc) {
  RECT all{0, 0, kLogoPixels, kLogoPixels};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  DrawFilled(dc, RGB(250, 250, 250), RGB(96, 96, 96), [&] {
    const POINT sheet[] = {{8, 3}, {30, 3}, {38, 11}, {38, 44}, {8, 44}};
    Polygon(dc, sheet, 5);
  });
  DrawFilled(dc, RGB(214, 214, 214), RGB(96, 96, 96), [&] {
    const POINT fold[] = {{30, 3}, {30, 11}, {38, 11}};
    Polygon(dc, fold, 3);
  });
  DrawFilled(dc, RGB(150, 166, 192), RGB(150, 166, 192), [&] {
    for (int top = 15, right = 33; top <= 30; top += 5, right -= 3)
      Rectangle(dc, 13, top, right, top + 2);
  });
  DrawFilled(dc, RGB(32, 100, 200), RGB(24, 80, 170), [&] { Ellipse(dc, 24, 24, 47, 47); });
  DrawFilled(dc, kWhite, kWhite, [&] {
    Ellipse(dc, 33, 28, 38, 33);
    Rectangle(dc, 34, 35, 37, 43);
  });
}

}  // namespace

LogWindow::~LogWindow() {
  // Destroy the window while this object's handlers and fonts are still alive.
  if (Handle() != nullptr) DestroyWindow(Handle());
}

bool LogWindow::Create() {
  if (!CreateForm({kLogClass, L"Log", kLogStyle, 0,
                   LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP)),
                   kLogClientWidthTwips, kLogClientHeightTwips, nullptr},
                  LogControls())) {
    return false;
  }
  CreateLogo();
  Layout();
  return true;
}

void LogWindow::CreateLogo() {
  WindowDC screen(nullptr);
  MemoryDC dc(CreateCompatibleDC(screen.Get()));
  logo_.Reset(CreateCompatibleBitmap(screen.Get(), kLogoPixels, kLogoPixels));
  {
    ScopedSelectObject selected(dc.Get(), logo_.Get());
    DrawLogo(dc.Get());
  }
  SendMessageW(Control(LogControlId::kImgLogo), STM_SETIMAGE, IMAGE_BITMAP,
               reinterpret_cast<LPARAM>(logo_.Get()));
}

void LogWindow::Layout() {
  RECT client{};
  GetClientRect(Handle(), &client);
  auto twips = [&](int pixels) { return PixelsToWholeTwips(pixels, Dpi()); };
  // The resize rule is written for the designed header; PlaceControls adds back the room made
  // for the header's text.
  int width = LogResizeWidth(twips(client.right));
  int height = LogResizeHeight(twips(client.bottom) - TextGrowthTwips());
  PlaceControls(ResizedLogControls(width, height));
}

void LogWindow::Append(const std::wstring& text) {
  // Each insertion into a long log costs the box about as much as its whole text, so the lines
  // of one turn of the message loop go in together when the turn is over.
  bool first = pending_.empty();
  pending_ += text;
  pending_ += L"\r\n";
  // One text may hold many lines (a send's outcome): each is dropped on its own.
  for (size_t start = 0;;) {
    size_t end = text.find(L"\r\n", start);
    if (end == std::wstring::npos) {
      lineChars_.push_back(text.size() - start + 2);
      break;
    }
    lineChars_.push_back(end - start + 2);
    start = end + 2;
  }
  if (pending_.size() > kMaxLogChars) {
    TakePendingLines();  // the waiting lines are bounded too
  } else if (first && !PostMessageW(Handle(), kTakePendingLines, 0, 0)) {
    TakePendingLines();
  }
}

void LogWindow::TakePendingLines(size_t most) {
  if (pending_.empty()) return;
  // Whole lines, at least one: the box lays out what it takes at once.
  size_t taken = pending_.size();
  if (taken > most) {
    size_t lineEnd = pending_.rfind(L"\r\n", most);
    taken = lineEnd != std::wstring::npos && lineEnd > 0 ? lineEnd + 2 : pending_.find(L"\r\n") + 2;
  }
  std::wstring text = pending_.substr(0, taken);
  pending_.erase(0, taken);
  HWND box = Control(LogControlId::kTxtLog);
  LRESULT end = GetWindowTextLengthW(box);
  SendMessageW(box, EM_SETSEL, end, end);
  SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
  shownChars_ += text.size();
  if (shownChars_ > kMaxLogChars) DropOldestLines(box);
  SendMessageW(box, EM_SCROLLCARET, 0, 0);
  // The rest on the next turns, so that a thousand lines at once never hold up the window.
  if (!pending_.empty() && !PostMessageW(Handle(), kTakePendingLines, 0, 0)) {
    TakePendingLines();
  }
}

// Drops whole lines from the top, an eighth of the ceiling at a time: the box lays out only
// what changed when lines go from the top, while setting its whole text again would lay out all
// of it (seconds for a megabyte under Wine).
void LogWindow::DropOldestLines(HWND box) {
  size_t drop = markerChars_;
  // The newest line stays, however long.
  while (lineChars_.size() > 1 && shownChars_ - drop > kMaxLogChars / 8 * 7) {
    drop += lineChars_.front();
    lineChars_.pop_front();
  }
  const std::wstring marker = L"(Older lines were removed to keep the log under " +
                              std::to_wstring(kMaxLogChars) + L" characters.)\r\n";
  SendMessageW(box, EM_SETSEL, 0, static_cast<LPARAM>(drop));
  SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(marker.c_str()));
  shownChars_ = shownChars_ - drop + marker.size();
  markerChars_ = marker.size();
  SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(shownChars_), static_cast<LPARAM>(shownChars_));
}

void LogWindow::Clear() {
  pending_.clear();
  shownChars_ = 0;
  lineChars_.clear();
  markerChars_ = 0;
  SetWindowTextW(Control(LogControlId::kTxtLog), L"");
}

std::wstring LogWindow::Text() {
  TakePendingLines();
  return WindowText(Control(LogControlId::kTxtLog));
}

void LogWindow::Show() {
  TakePendingLines();
  ShowWindow(Handle(), IsIconic(Handle()) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(Handle());
}

void LogWindow::Hide() { ShowWindow(Handle(), SW_HIDE); }

void LogWindow::OnCommand(int id, int code) {
  if (id == IDCANCEL) {
    Hide();  // Escape, as the Close button
  } else if (code == BN_CLICKED && id == LogControlId::kCmdClear) {
    Clear();
  } else if (code == BN_CLICKED && id == LogControlId::kCmdClose) {
    Hide();
  }
}

LRESULT LogWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kTakePendingLines:
      TakePendingLines(kCharsPerTurn);
      return 0;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) Layout();
      return 0;
    case WM_GETMINMAXINFO: {
      // No narrower than designed: the header's text was given room at that width.
      RECT frame{0, 0, TwipsToPixels(kLogClientWidthTwips, Dpi()), 0};
      AdjustWindowRectEx(&frame, kLogStyle, FALSE, 0);
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize.x = frame.right - frame.left;
      return 0;
    }
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        // Closing from the title bar (or Alt+F4) unloads the window, and the log with it.
        DestroyWindow(Handle());
        return 0;
      }
      break;
    case WM_CLOSE:
      // Only the frame's close unloads. The text box posts WM_CLOSE to its parent when Escape
      // is pressed in it, and a key press must not throw the log away.
      Hide();
      return 0;
    default:
      break;
  }
  return Form::HandleMessage(message, wParam, lParam);
}

}  // namespace parvox
