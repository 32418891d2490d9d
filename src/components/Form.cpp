// The control factory, the room made for texts, and the modal loop.
#include "components/Form.h"

#include <commctrl.h>

#include <algorithm>
#include <numeric>
#include <string>

#include "components/DialogFont.h"
#include "components/ScreenDpi.h"
#include "components/WindowPlacement.h"

namespace parvox {
namespace {

bool OnHeaderBand(ControlKind kind) {
  return kind == ControlKind::kHeaderBand || kind == ControlKind::kHeaderLabel ||
         kind == ControlKind::kHeaderTitle || kind == ControlKind::kImage ||
         kind == ControlKind::kBitmap;
}

bool IsBold(ControlKind kind) {
  return kind == ControlKind::kHeaderTitle || kind == ControlKind::kOption ||
         kind == ControlKind::kBoldButton;
}

struct ClassAndStyle {
  const wchar_t* windowClass;
  DWORD style;
  DWORD exStyle;
};

ClassAndStyle ClassFor(ControlKind kind) {
  constexpr DWORD kLabelStyle = SS_LEFT | SS_NOTIFY | SS_NOPREFIX;
  constexpr DWORD kMultiLine = WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL;
  switch (kind) {
    case ControlKind::kHeaderBand:
      return {WC_STATICW, SS_WHITERECT, 0};
    case ControlKind::kImage:
      return {WC_STATICW, SS_ICON | SS_REALSIZEIMAGE | SS_CENTERIMAGE, 0};
    case ControlKind::kBitmap:
      return {WC_STATICW, SS_BITMAP | SS_CENTERIMAGE, 0};
    case ControlKind::kBreakingLabel:
      return {WC_STATICW, kLabelStyle | SS_EDITCONTROL, 0};
    case ControlKind::kFrame:
      return {WC_BUTTONW, BS_GROUPBOX, 0};
    case ControlKind::kOption:
      return {WC_BUTTONW, WS_TABSTOP | BS_AUTORADIOBUTTON, 0};
    case ControlKind::kCheckBox:
      return {WC_BUTTONW, WS_TABSTOP | BS_AUTOCHECKBOX, 0};
    case ControlKind::kTextBox:
      return {WC_EDITW, WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::kMultiLineTextBox:
      return {WC_EDITW, kMultiLine | ES_WANTRETURN, WS_EX_CLIENTEDGE};
    case ControlKind::kReadOnlyText:
      return {WC_EDITW, kMultiLine | ES_READONLY, WS_EX_CLIENTEDGE};
    case ControlKind::kButton:
    case ControlKind::kBoldButton:
      return {WC_BUTTONW, WS_TABSTOP | BS_PUSHBUTTON, 0};
    case ControlKind::kDefaultButton:
      return {WC_BUTTONW, WS_TABSTOP | BS_DEFPUSHBUTTON, 0};
    case ControlKind::kListView:
      return {WC_LISTVIEWW, WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
              WS_EX_CLIENTEDGE};
    default:  // the labels
      return {WC_STATICW, kLabelStyle, 0};
  }
}

// What a static control's text needs at its width, drawn as the control draws it, in twips.
TextNeed MeasureLabel(size_t index, HWND label, ControlKind kind, int width, int dpi) {
  std::wstring text = WindowText(label);
  if (text.empty()) return {index, 0, 0};
  WindowDC dc(label);
  ScopedSelectObject font(dc.Get(),
                          reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
  RECT extent{0, 0, width, 0};
  DrawTextW(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent,
            DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX |
                (kind == ControlKind::kBreakingLabel ? DT_EDITCONTROL : 0));
  // Rounded up, so the pixels the twips come back to are never fewer.
  auto twips = [dpi](LONG pixels) { return static_cast<int>((pixels * 1440 + dpi - 1) / dpi); };
  // A width only when a word is wider than the label: a wrapping text takes the width it gets.
  return {index, extent.right > width ? twips(extent.right) : 0, twips(extent.bottom)};
}

}  // namespace

void DispatchFormMessage(MSG& message) {
  HWND root = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
  if (dynamic_cast<Form*>(Window::FromHandle(root)) != nullptr && IsDialogMessageW(root, &message))
    return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

HWND Form::Item(int id) const {
  auto found = items_.find(id);
  return found == items_.end() ? nullptr : found->second;
}

bool Form::CreateDialogForm(HWND owner, const wchar_t* className, const wchar_t* caption,
                            int clientWidthTwips, int clientHeightTwips,
                            std::span<const ControlSpec> controls) {
  return CreateForm({className, caption, kDialogStyle, WS_EX_DLGMODALFRAME, nullptr,
                     clientWidthTwips, clientHeightTwips, owner},
                    controls);
}

bool Form::CreateForm(const FormFrame& frame, std::span<const ControlSpec> controls) {
  owner_ = frame.owner;
  dpi_ = ScreenDpi();
  font_ = CreateDialogFont(dpi_, false);
  boldFont_ = CreateDialogFont(dpi_, true);

  RegisterWindowClass(frame.className, frame.icon, GetSysColorBrush(COLOR_BTNFACE));
  RECT place = CentredFrame(frame.clientWidthTwips, frame.clientHeightTwips, frame.style,
                            frame.exStyle, dpi_, frame.owner);
  if (!CreateWindowFor(frame.className, frame.caption, frame.style, frame.exStyle, place.left,
                       place.top, place.right - place.left, place.bottom - place.top,
                       frame.owner)) {
    return false;
  }
  std::vector<size_t> order(controls.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return controls[a].tabIndex < controls[b].tabIndex; });
  for (size_t index : order) {
    const ControlSpec& control = controls[index];
    HWND item = CreateItem(control, ToPixels(AbsoluteTwips(controls, control)));
    if (item == nullptr) continue;
    items_[control.id] = item;
    kinds_[item] = control.kind;
    if (control.toolTip != nullptr) AddToolTip(item, control.toolTip);
    if (firstTabStop_ == nullptr && (GetWindowLongW(item, GWL_STYLE) & WS_TABSTOP) != 0)
      firstTabStop_ = item;
  }
  // Bands and frames go beneath everything, or they would hide what is drawn on them.
  for (const ControlSpec& control : controls) {
    if (control.kind == ControlKind::kFrame || control.kind == ControlKind::kHeaderBand) {
      SetWindowPos(Item(control.id), HWND_BOTTOM, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
  MakeRoomForLabels(controls, frame);
  return true;
}

PixelBox Form::ToPixels(const TwipRect& twips) const {
  return {TwipsToPixels(twips.left, dpi_), TwipsToPixels(twips.top, dpi_),
          TwipsToPixels(twips.width, dpi_), TwipsToPixels(twips.height, dpi_)};
}

void Form::MakeRoomForLabels(std::span<const ControlSpec> controls, const FormFrame& frame) {
  for (size_t i = 0; i < controls.size(); ++i) {
    HWND label = Item(controls[i].id);
    if (label == nullptr || !IsTextLabel(controls[i].kind)) continue;
    int width = ToPixels(AbsoluteTwips(controls, controls[i])).width;
    textNeeds_.push_back(MeasureLabel(i, label, controls[i].kind, width, dpi_));
  }
  if (textNeeds_.empty()) return;  // the controls stand where the table put them
  PlaceControls(controls);
  // The client area takes in the taller layout and any label widened for a long word.
  RECT client;
  GetClientRect(Handle(), &client);
  int width = client.right;
  for (const TextNeed& need : textNeeds_) {
    RECT label;
    GetWindowRect(Item(controls[need.index].id), &label);
    MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&label), 2);
    width = std::max(width, static_cast<int>(label.right));
  }
  int height = TwipsToPixels(frame.clientHeightTwips + textGrowth_, dpi_);
  if (width == client.right && height <= client.bottom) return;
  RECT outer{0, 0, width, std::max(height, static_cast<int>(client.bottom))};
  AdjustWindowRectEx(&outer, frame.style, FALSE, frame.exStyle);
  RECT place, area;
  GetWindowRect(Handle(), &place);
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  // Grown evenly up and down, so the window stays centred where it was placed, but never above
  // the work area.
  int grown = (outer.bottom - outer.top) - (place.bottom - place.top);
  int top = std::max(place.top - grown / 2, area.top);
  SetWindowPos(Handle(), nullptr, place.left, top, outer.right - outer.left,
               outer.bottom - outer.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::PlaceControls(std::span<const ControlSpec> placed) {
  std::vector<TwipRect> boxes;
  boxes.reserve(placed.size());
  for (const ControlSpec& control : placed) boxes.push_back(AbsoluteTwips(placed, control));
  textGrowth_ = MakeRoomForText(boxes, textNeeds_);
  for (size_t i = 0; i < placed.size(); ++i) {
    HWND item = Item(placed[i].id);
    if (item == nullptr) continue;  // a container
    PixelBox box = ToPixels(boxes[i]);
    SetWindowPos(item, nullptr, box.left, box.top, box.width, box.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

HWND Form::CreateCustomControl(const ControlSpec&, const PixelBox&) { return nullptr; }

HWND Form::CreateItem(const ControlSpec& control, const PixelBox& box) {
  switch (control.kind) {
    case ControlKind::kContainer:
      return nullptr;  // only positions the controls inside it
    case ControlKind::kCustom:
      return CreateCustomControl(control, box);
    case ControlKind::kRule:
      rules_.push_back(std::make_unique<MultiRule>());
      return rules_.back()->Create(Handle(), control.id, box.left, box.top, box.width, box.height);
    default:
      break;
  }
  ClassAndStyle kind = ClassFor(control.kind);
  HWND item = CreateWindowExW(kind.exStyle, kind.windowClass, control.caption,
                              WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | kind.style, box.left,
                              box.top, box.width, box.height, Handle(),
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                              GetModuleHandleW(nullptr), nullptr);
  // No length limit: the edit's default would cut a long text at 32,767 characters.
  if (control.kind == ControlKind::kMultiLineTextBox || control.kind == ControlKind::kReadOnlyText)
    SendMessageW(item, EM_SETLIMITTEXT, 0, 0);
  SendMessageW(item, WM_SETFONT, reinterpret_cast<WPARAM>(Font(IsBold(control.kind))), FALSE);
  return item;
}

void Form::AddToolTip(HWND control, const wchar_t* text) {
  if (toolTips_ == nullptr) {
    // Owned by the form, so it goes when the form does.
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

void Form::SetIcon(int id, int resource) {
  icons_.push_back(LoadIconResource(resource, 48));
  SendMessageW(Item(id), STM_SETICON, reinterpret_cast<WPARAM>(icons_.back().Get()), 0);
}

void Form::RunModal() {
  if (owner_ != nullptr) EnableWindow(owner_, FALSE);
  ShowWindow(Handle(), SW_SHOW);
  MSG message{};
  while (Handle() != nullptr && GetMessageW(&message, nullptr, 0, 0) > 0)
    DispatchFormMessage(message);
  if (message.message == WM_QUIT) PostQuitMessage(static_cast<int>(message.wParam));
}

void Form::EndForm() {
  if (owner_ != nullptr) {
    // Re-enable the owner before the form goes, so the activation returns to it.
    EnableWindow(owner_, TRUE);
    SetActiveWindow(owner_);
  }
  DestroyWindow(Handle());
}

// Without this the window itself would take the keyboard back from a closed dialog, a message
// box or the tray, and no control would see a key until the user clicked one.
void Form::OnActivate(bool active, bool minimised) {
  if (!active) {
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(Handle(), focus)) lastFocus_ = focus;
    return;
  }
  if (minimised) return;
  HWND target =
      lastFocus_ != nullptr && IsChild(Handle(), lastFocus_) ? lastFocus_ : DefaultFocus();
  if (target != nullptr) SetFocus(target);
}

LRESULT Form::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_CLOSE:
      EndForm();  // the title bar's close box is Cancel
      return 0;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam) != WA_INACTIVE, HIWORD(wParam) != 0);
      return 0;
    case DM_GETDEFID:
      return DefaultButton() != 0 ? MAKELRESULT(DefaultButton(), DC_HASDEFID) : 0;
    case WM_CTLCOLORSTATIC: {
      // The header band and its texts, and read-only text (which would come out grey like a
      // label, while it reads better on the window colour).
      auto kind = kinds_.find(reinterpret_cast<HWND>(lParam));
      if (kind != kinds_.end() &&
          (OnHeaderBand(kind->second) || kind->second == ControlKind::kReadOnlyText)) {
        auto dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
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
