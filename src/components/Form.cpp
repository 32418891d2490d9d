// Dialog construction from layout tables and the modal loop.
#include "components/Form.h"

#include <commctrl.h>

#include "components/DialogFont.h"
#include "components/ScreenDpi.h"
#include "components/Twips.h"
#include "components/WindowPlacement.h"

namespace parvox {
namespace {

constexpr DWORD kFormStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS;

bool OnHeaderBand(FormKind kind) {
  return kind == FormKind::kHeaderBand || kind == FormKind::kHeaderLabel ||
         kind == FormKind::kHeaderTitle || kind == FormKind::kImage;
}

}  // namespace

HWND Form::Item(int id) const {
  auto found = items_.find(id);
  return found == items_.end() ? nullptr : found->second;
}

bool Form::CreateForm(HWND owner, const wchar_t* className, const wchar_t* caption, int widthTwips,
                      int heightTwips, std::span<const FormControl> controls) {
  owner_ = owner;
  dpi_ = ScreenDpi();
  font_ = CreateDialogFont(dpi_, false);
  boldFont_ = CreateDialogFont(dpi_, true);

  RegisterWindowClass(className, nullptr, GetSysColorBrush(COLOR_BTNFACE));
  RECT frame = CentredFrame(widthTwips, heightTwips, kFormStyle, WS_EX_DLGMODALFRAME, dpi_, owner);
  if (!CreateWindowFor(className, caption, kFormStyle, WS_EX_DLGMODALFRAME, frame.left, frame.top,
                       frame.right - frame.left, frame.bottom - frame.top, owner)) {
    return false;
  }
  toolTips_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0,
                              Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
  for (const FormControl& control : controls) {
    HWND item = CreateItem(control);
    items_[control.id] = item;
    kinds_[item] = control.kind;
    if (control.toolTip != nullptr) AddToolTip(item, control.toolTip);
  }
  // Bands and frames go beneath everything, or they would hide what is drawn on them.
  for (const FormControl& control : controls) {
    if (control.kind == FormKind::kFrame || control.kind == FormKind::kHeaderBand) {
      SetWindowPos(Item(control.id), HWND_BOTTOM, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
  return true;
}

HWND Form::CreateItem(const FormControl& control) {
  int x = TwipsToPixels(control.left, dpi_), y = TwipsToPixels(control.top, dpi_);
  int width = TwipsToPixels(control.width, dpi_), height = TwipsToPixels(control.height, dpi_);
  HWND parent = Handle();
  auto* id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id));
  HINSTANCE instance = GetModuleHandleW(nullptr);
  DWORD child = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
  const wchar_t* windowClass = WC_STATICW;
  DWORD style = child, exStyle = 0;
  switch (control.kind) {
    case FormKind::kHeaderBand:
      style |= SS_WHITERECT;
      break;
    case FormKind::kHeaderLabel:
    case FormKind::kHeaderTitle:
    case FormKind::kLabel:
      style |= SS_LEFT | SS_NOTIFY | SS_NOPREFIX;
      break;
    case FormKind::kImage:
      style |= SS_ICON | SS_REALSIZEIMAGE | SS_CENTERIMAGE;
      break;
    case FormKind::kFrame:
      windowClass = WC_BUTTONW;
      style |= BS_GROUPBOX;
      break;
    case FormKind::kOption:
      windowClass = WC_BUTTONW;
      style |= WS_TABSTOP | BS_AUTORADIOBUTTON;
      break;
    case FormKind::kCheckBox:
      windowClass = WC_BUTTONW;
      style |= WS_TABSTOP | BS_AUTOCHECKBOX;
      break;
    case FormKind::kTextBox:
      windowClass = WC_EDITW;
      style |= WS_TABSTOP | ES_AUTOHSCROLL;
      exStyle = WS_EX_CLIENTEDGE;
      break;
    case FormKind::kReadOnlyText:
      windowClass = WC_EDITW;
      style |= WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY;
      exStyle = WS_EX_CLIENTEDGE;
      break;
    case FormKind::kButton:
      windowClass = WC_BUTTONW;
      style |= WS_TABSTOP | BS_PUSHBUTTON;
      break;
    case FormKind::kDefaultButton:
      windowClass = WC_BUTTONW;
      style |= WS_TABSTOP | BS_DEFPUSHBUTTON;
      break;
    case FormKind::kRule:
      rules_.push_back(std::make_unique<MultiRule>());
      return rules_.back()->Create(parent, control.id, x, y, width, height);
  }
  HWND item = CreateWindowExW(exStyle, windowClass, control.caption, style, x, y, width, height,
                              parent, id, instance, nullptr);
  // No length limit: the edit's default would cut a long text at 32,767 characters.
  if (control.kind == FormKind::kReadOnlyText) SendMessageW(item, EM_SETLIMITTEXT, 0, 0);
  bool bold = control.kind == FormKind::kHeaderTitle || control.kind == FormKind::kOption;
  SendMessageW(item, WM_SETFONT, reinterpret_cast<WPARAM>(bold ? boldFont_.Get() : font_.Get()),
               FALSE);
  return item;
}

void Form::AddToolTip(HWND control, const wchar_t* text) {
  TOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = Handle();
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = const_cast<wchar_t*>(text);
  SendMessageW(toolTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Form::SetIcon(int id, HICON icon) {
  SendMessageW(Item(id), STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
}

void Form::RunModal() {
  if (owner_ != nullptr) EnableWindow(owner_, FALSE);
  ShowWindow(Handle(), SW_SHOW);
  MSG message{};
  while (Handle() != nullptr && GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(Handle(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (message.message == WM_QUIT) PostQuitMessage(static_cast<int>(message.wParam));
}

void Form::EndForm() {
  if (owner_ != nullptr) {
    // Re-enable the owner before the dialog goes, so the activation returns to it.
    EnableWindow(owner_, TRUE);
    SetActiveWindow(owner_);
  }
  DestroyWindow(Handle());
}

LRESULT Form::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_CLOSE:
      EndForm();  // the title bar's close box is Cancel
      return 0;
    case DM_GETDEFID:
      return DefaultButton() != 0 ? MAKELRESULT(DefaultButton(), DC_HASDEFID) : 0;
    case WM_CTLCOLORSTATIC: {
      auto kind = kinds_.find(reinterpret_cast<HWND>(lParam));
      if (kind != kinds_.end() && OnHeaderBand(kind->second)) {
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      break;
    }
    case WM_DESTROY:
      if (owner_ != nullptr) EnableWindow(owner_, TRUE);
      break;
    default:
      break;
  }
  return Window::HandleMessage(message, wParam, lParam);
}

}  // namespace parvox
