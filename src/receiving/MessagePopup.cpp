// Pop-up layout and its buttons.
#include "receiving/MessagePopup.h"

#include <commctrl.h>

#include <array>

#include "receiving/PopupPlacement.h"

namespace parvox {
namespace {

using K = FormKind;
using P = MessagePopup;
// Focusable controls first, in tab order.
constexpr std::array kPopupLayout = {
    FormControl{P::kTxtMessage, L"txtMessage", K::kReadOnlyText, L"", 120, 600, 5760, 2160,
                nullptr},
    FormControl{P::kCmdOK, L"cmdOK", K::kDefaultButton, L"OK", 3090, 2910, 1335, 405, nullptr},
    FormControl{P::kCmdReply, L"cmdReply", K::kButton, L"Reply", 4545, 2910, 1335, 405,
                L"Write back to the sender in the main window"},
    FormControl{P::kLabHeader, L"labHeader", K::kLabel, L"", 120, 120, 5760, 420, nullptr},
};

// A multi-line box asks for every key, Enter and Escape included; this one is read-only, so those
// keys go to the pop-up's buttons as in any dialog.
LRESULT CALLBACK ReadOnlyBoxProcedure(HWND box, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR) {
  if (message == WM_NCDESTROY) RemoveWindowSubclass(box, ReadOnlyBoxProcedure, id);
  LRESULT result = DefSubclassProc(box, message, wParam, lParam);
  if (message == WM_GETDLGCODE) result &= ~(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE | DLGC_WANTTAB);
  return result;
}

}  // namespace

bool MessagePopup::Open(const IncomingMessage& message, const std::wstring& header, int cascade,
                        ReplyHandler onReply) {
  from_ = message.from;
  onReply_ = std::move(onReply);
  std::wstring caption = L"Message from " + message.from;
  if (!CreateForm(nullptr, L"ParvoxMessage", caption.c_str(), 6000, 3435, kPopupLayout))
    return false;
  SetWindowTextW(Item(kLabHeader), header.c_str());
  SetWindowTextW(Item(kTxtMessage), message.text.c_str());
  SetWindowSubclass(Item(kTxtMessage), ReadOnlyBoxProcedure, 0, 0);
  EnableWindow(Item(kCmdReply), !from_.empty());
  ShowWithoutFocus(Handle(), cascade);
  return true;
}

LRESULT MessagePopup::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ACTIVATE:
      // Shown without the keyboard; once the user comes to it, Enter and Escape work at once.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(Handle(), focus)) lastFocus_ = focus;
      } else {
        SetFocus(lastFocus_ != nullptr && IsChild(Handle(), lastFocus_) ? lastFocus_
                                                                        : Item(kCmdOK));
      }
      return 0;
    case WM_CTLCOLORSTATIC:
      // A read-only box comes out grey like a label; a message reads better on the window colour.
      if (reinterpret_cast<HWND>(lParam) == Item(kTxtMessage)) {
        auto dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      break;
    default:
      break;
  }
  return Form::HandleMessage(message, wParam, lParam);
}

void MessagePopup::OnCommand(int id, int) {
  switch (id) {
    case kCmdReply:
      if (onReply_) onReply_(from_);
      EndForm();
      break;
    case kCmdOK:
    case IDOK:
    case IDCANCEL:  // Escape
      EndForm();
      break;
    default:
      break;
  }
}

}  // namespace parvox
