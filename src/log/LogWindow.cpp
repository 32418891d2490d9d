// The log window: builds its controls from the table, follows the resize rule and keeps the
// log text in its text box.
#include "log/LogWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "components/DialogFont.h"
#include "components/ScreenDpi.h"
#include "components/WindowPlacement.h"
#include "resource.h"

namespace parvox {
namespace {

constexpr wchar_t kLogClass[] = L"ParvoxLog";
constexpr DWORD kLogStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
constexpr int kLogoPixels = 48;
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr UINT kTakePendingLines = WM_APP + 20;

using GdiObject = UniqueHandle<HGDIOBJ, DeleteGdiObject>;

template <typename Draw>
void DrawFilled(HDC dc, COLORREF fill, COLORREF edge, Draw draw) {
  GdiObject brush(CreateSolidBrush(fill));
  GdiObject pen(CreatePen(PS_SOLID, 1, edge));
  HGDIOBJ oldBrush = SelectObject(dc, brush.Get());
  HGDIOBJ oldPen = SelectObject(dc, pen.Get());
  draw();
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
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

// Width in pixels of a control's text in `font`.
int TextWidth(HWND control, HFONT font) {
  wchar_t text[128] = L"";
  int length = GetWindowTextW(control, text, 128);
  HDC dc = GetDC(control);
  HGDIOBJ previous = SelectObject(dc, font);
  SIZE extent{};
  GetTextExtentPoint32W(dc, text, length, &extent);
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  return extent.cx;
}

}  // namespace

LogWindow::~LogWindow() {
  // Destroy the window while this object's handlers and fonts are still alive.
  if (Handle() != nullptr) DestroyWindow(Handle());
}

bool LogWindow::Create() {
  dpi_ = ScreenDpi();
  RegisterWindowClass(kLogClass, LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP)),
                      GetSysColorBrush(COLOR_BTNFACE));
  RECT frame = CentredFrame(kLogClientWidthTwips, kLogClientHeightTwips, kLogStyle, 0, dpi_);
  if (!CreateWindowFor(kLogClass, L"Log", kLogStyle, 0, frame.left, frame.top,
                       frame.right - frame.left, frame.bottom - frame.top, nullptr)) {
    return false;
  }
  CreateFonts();
  CreateLogo();
  CreateControls();
  Layout();
  return true;
}

void LogWindow::CreateFonts() {
  font_ = CreateDialogFont(dpi_, false);
  boldFont_ = CreateDialogFont(dpi_, true);
}

void LogWindow::CreateLogo() {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  logo_.Reset(CreateCompatibleBitmap(screen, kLogoPixels, kLogoPixels));
  ReleaseDC(nullptr, screen);
  HGDIOBJ previous = SelectObject(dc, logo_.Get());
  DrawLogo(dc);
  SelectObject(dc, previous);
  DeleteDC(dc);
}

HWND LogWindow::CreateControl(const LogControlSpec& spec) {
  HWND parent = Handle();
  auto* id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id));
  HINSTANCE instance = GetModuleHandleW(nullptr);
  DWORD child = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
  // Placed properly by Layout; created at the origin.
  auto make = [&](DWORD exStyle, const wchar_t* className, DWORD style) {
    return CreateWindowExW(exStyle, className, spec.caption, child | style, 0, 0, 0, 0, parent, id,
                           instance, nullptr);
  };
  HWND control = nullptr;
  switch (spec.kind) {
    case LogControlKind::kHeaderBand:
      return make(0, WC_STATICW, SS_LEFT);
    case LogControlKind::kPicture:
      control = make(0, WC_STATICW, SS_BITMAP | SS_CENTERIMAGE);
      SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(logo_.Get()));
      return control;
    case LogControlKind::kTitle:
    case LogControlKind::kLabel:
      control = make(0, WC_STATICW, SS_LEFT | SS_NOPREFIX);
      break;
    case LogControlKind::kRule: {
      MultiRule& rule = spec.id == LogControlId::kRuleTop ? ruleTop_ : ruleBottom_;
      return rule.Create(parent, static_cast<int>(spec.id), 0, 0, 0, 0);
    }
    case LogControlKind::kTextBox:
      control = make(WS_EX_CLIENTEDGE, WC_EDITW,
                     WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY);
      // The default limit would silently cut off appended lines after about 32,000 characters.
      SendMessageW(control, EM_SETLIMITTEXT, 0, 0);
      break;
    case LogControlKind::kButton:
      control = make(0, WC_BUTTONW, WS_TABSTOP | BS_PUSHBUTTON);
      break;
  }
  HFONT font = spec.kind == LogControlKind::kTitle ? boldFont_.Get() : font_.Get();
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (spec.toolTip != nullptr) AddToolTip(control, spec.toolTip);
  return control;
}

void LogWindow::AddToolTip(HWND control, const wchar_t* text) {
  if (toolTips_ == nullptr) {
    // Owned by the log window, so it goes when the window does.
    toolTips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  }
  TTTOOLINFOW tool{};
  // The older size is understood by every version of the common controls.
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = Handle();
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = const_cast<wchar_t*>(text);
  SendMessageW(toolTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void LogWindow::CreateControls() {
  for (const LogControlSpec& spec : LogControls()) {
    if (HWND control = CreateControl(spec)) controls_[spec.id] = control;
  }
  titleWidth_ = TextWidth(Control(LogControlId::kLabTitle), boldFont_.Get());
  // The band sits behind the header's picture and labels.
  SetWindowPos(Control(LogControlId::kLabHeaderBkg), HWND_BOTTOM, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

HWND LogWindow::Control(LogControlId id) const {
  auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

void LogWindow::Layout() {
  RECT client{};
  GetClientRect(Handle(), &client);
  auto twips = [&](int pixels) { return static_cast<int>(PixelsToTwips(pixels, dpi_) + 0.5); };
  int width = LogResizeWidth(twips(client.right)), height = LogResizeHeight(twips(client.bottom));
  for (const LogControlSpec& spec : ResizedLogControls(width, height)) {
    const TwipRect& r = spec.rect;
    int widthPixels = TwipsToPixels(r.width, dpi_);
    // The title's box was drawn to fit its text exactly; a wider font would cut it short.
    if (spec.kind == LogControlKind::kTitle) widthPixels = std::max(widthPixels, titleWidth_);
    SetWindowPos(Control(spec.id), nullptr, TwipsToPixels(r.left, dpi_), TwipsToPixels(r.top, dpi_),
                 widthPixels, TwipsToPixels(r.height, dpi_), SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void LogWindow::Append(const std::wstring& text) {
  // Each insertion into a long log costs the box about as much as its whole text, so the lines
  // of one turn of the message loop go in together when the turn is over.
  bool first = pending_.empty();
  pending_ += text;
  pending_ += L"\r\n";
  if (first && !PostMessageW(Handle(), kTakePendingLines, 0, 0)) TakePendingLines();
}

void LogWindow::TakePendingLines() {
  if (pending_.empty()) return;
  HWND box = Control(LogControlId::kTxtLog);
  LRESULT end = GetWindowTextLengthW(box);
  SendMessageW(box, EM_SETSEL, end, end);
  SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(pending_.c_str()));
  SendMessageW(box, EM_SCROLLCARET, 0, 0);
  pending_.clear();
}

void LogWindow::Clear() {
  pending_.clear();
  SetWindowTextW(Control(LogControlId::kTxtLog), L"");
}

std::wstring LogWindow::Text() {
  TakePendingLines();
  HWND box = Control(LogControlId::kTxtLog);
  std::vector<wchar_t> buffer(static_cast<size_t>(GetWindowTextLengthW(box)) + 1);
  int copied = GetWindowTextW(box, buffer.data(), static_cast<int>(buffer.size()));
  return std::wstring(buffer.data(), static_cast<size_t>(copied));
}

void LogWindow::Show() {
  TakePendingLines();
  ShowWindow(Handle(), IsIconic(Handle()) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(Handle());
}

void LogWindow::Hide() { ShowWindow(Handle(), SW_HIDE); }

LRESULT LogWindow::OnCommand(WORD id, WORD code) {
  if (id == IDCANCEL) {
    Hide();  // Escape, as the Close button
  } else if (code == BN_CLICKED && id == static_cast<WORD>(LogControlId::kCmdClear)) {
    Clear();
  } else if (code == BN_CLICKED && id == static_cast<WORD>(LogControlId::kCmdClose)) {
    Hide();
  }
  return 0;
}

LRESULT LogWindow::OnControlColour(HDC dc, HWND control) {
  if (control == Control(LogControlId::kTxtLog)) {
    // A read-only box asks as a label would and comes out grey; the log reads better on the
    // window colour.
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
  }
  for (LogControlId header : {LogControlId::kLabHeaderBkg, LogControlId::kImgLogo,
                              LogControlId::kLabTitle, LogControlId::kLabBody}) {
    if (control == Control(header)) {
      SetTextColor(dc, RGB(0, 0, 0));
      SetBkColor(dc, kWhite);
      return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    }
  }
  return Window::HandleMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                               reinterpret_cast<LPARAM>(control));
}

void LogWindow::OnActivate(bool active) {
  if (!active) {
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(Handle(), focus)) lastFocus_ = focus;
    return;
  }
  HWND target = lastFocus_ != nullptr && IsChild(Handle(), lastFocus_)
                    ? lastFocus_
                    : Control(LogControlId::kTxtLog);
  SetFocus(target);
}

LRESULT LogWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kTakePendingLines:
      TakePendingLines();
      return 0;
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_CTLCOLORSTATIC:
      return OnControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) Layout();
      return 0;
    case WM_ACTIVATE:
      if (HIWORD(wParam) == 0) OnActivate(LOWORD(wParam) != WA_INACTIVE);
      return 0;
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
  return Window::HandleMessage(message, wParam, lParam);
}

}  // namespace parvox
