// Pop-up layout and its buttons.
#include "receiving/MessagePopup.h"

#include <array>

#include "components/ControlSubclass.h"
#include "receiving/PopupPlacement.h"

namespace parvox {
namespace {

using K = ControlKind;
using P = MessagePopup;
// The controls that take the focus come first: the rows are in tab order.
// clang-format off
constexpr std::array kPopupLayout = {
    ControlSpec{P::kTxtMessage, L"txtMessage", K::kReadOnlyText, kNoContainer, L"",
                {120, 600, 5760, 2160}, 0, nullptr},
    ControlSpec{P::kCmdOK, L"cmdOK", K::kDefaultButton, kNoContainer, L"OK",
                {3090, 2910, 1335, 405}, 1, nullptr},
    ControlSpec{P::kCmdReply, L"cmdReply", K::kButton, kNoContainer, L"Reply",
                {4545, 2910, 1335, 405}, 2, L"Write back to the sender in the main window"},
    ControlSpec{P::kLabHeader, L"labHeader", K::kBreakingLabel, kNoContainer, L"",
                {120, 120, 5760, 420}, 3, nullptr},
};
// clang-format on

}  // namespace

bool MessagePopup::Open(const IncomingMessage& message, const std::wstring& header, int cascade,
                        ReplyHandler onReply) {
  from_ = message.from;
  onReply_ = std::move(onReply);
  std::wstring caption = L"Message from " + message.from;
  // The header is in the table, so its label is made as tall as its text needs.
  auto layout = kPopupLayout;
  for (ControlSpec& control : layout) {
    if (control.id == kLabHeader) control.caption = header.c_str();
  }
  if (!CreateDialogForm(nullptr, L"ParvoxMessage", caption.c_str(), 6000, 3435, layout))
    return false;
  SetWindowTextW(Item(kTxtMessage), message.text.c_str());
  // A multi-line box asks for every key, Enter and Escape included; this one is read-only, so
  // those keys go to the pop-up's buttons as in any dialog.
  SubclassControl(Item(kTxtMessage), [](const ControlMessage& call) {
    LRESULT result = call.Default();
    if (call.message == WM_GETDLGCODE)
      result &= ~(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE | DLGC_WANTTAB);
    return result;
  });
  EnableWindow(Item(kCmdReply), !from_.empty());
  ShowWithoutFocus(Handle(), cascade);
  return true;
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
