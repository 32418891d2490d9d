// Pop-up layout and its buttons.
#include "receiving/MessagePopup.h"

#include <array>

#include "components/ControlSubclass.h"
#include "components/MessageBoxSeam.h"
#include "identity/KnownSenderStore.h"
#include "receiving/PopupPlacement.h"

namespace parvox {
namespace {

using K = ControlKind;
using P = MessagePopup;
// The controls that take the focus come first: the rows are in tab order.
// clang-format off
constexpr std::array kPopupLayout = {
    ControlSpec{P::kTxtMessage, L"txtMessage", K::kReadOnlyText, kNoContainer, L"",
                {120, 1080, 5760, 2160}, 0, nullptr},
    ControlSpec{P::kCmdOK, L"cmdOK", K::kDefaultButton, kNoContainer, L"OK",
                {3090, 3390, 1335, 405}, 1, nullptr},
    ControlSpec{P::kCmdReply, L"cmdReply", K::kButton, kNoContainer, L"Reply",
                {4545, 3390, 1335, 405}, 2, L"Write back to the sender in the main window"},
    ControlSpec{P::kCmdTrust, L"cmdTrust", K::kButton, kNoContainer, L"Trust the new key",
                {120, 3390, 2055, 405}, 3,
                L"Remember this message's key for the sender in place of the old one"},
    ControlSpec{P::kLabHeader, L"labHeader", K::kBreakingLabel, kNoContainer, L"",
                {120, 120, 5760, 420}, 4, nullptr},
    ControlSpec{P::kLabVerification, L"labVerification", K::kBreakingLabel, kNoContainer, L"",
                {120, 600, 5760, 420}, 5, nullptr},
};
// clang-format on

}  // namespace

bool MessagePopup::Open(const IncomingMessage& message, const std::wstring& header, int cascade,
                        ReplyHandler onReply) {
  from_ = message.from;
  onReply_ = std::move(onReply);
  message_ = message;
  message_.text.clear();  // kept for the trust decision only
  bool changedKey = message.verification.trust == Trust::kChangedKey;
  std::wstring caption = (changedKey ? L"WARNING: " : L"") + (L"Message from " + message.from);
  std::wstring verification = VerificationText(message.verification);
  if (!message.arrivalNote.empty()) verification += L" " + message.arrivalNote;
  // The texts are in the table, so their labels are made as tall as they need.
  auto layout = kPopupLayout;
  for (ControlSpec& control : layout) {
    if (control.id == kLabHeader) control.caption = header.c_str();
    if (control.id == kLabVerification) control.caption = verification.c_str();
  }
  if (!CreateDialogForm(nullptr, L"ParvoxMessage", caption.c_str(), 6000, 3915, layout))
    return false;
  // An administrator's key is not the user's to replace.
  bool mayTrust = changedKey && !message.verification.knownKeyGiven && !message.signingKey.empty();
  ShowWindow(Item(kCmdTrust), mayTrust ? SW_SHOWNA : SW_HIDE);
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
    case kCmdTrust:
      TrustNewKey();
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

void MessagePopup::TrustNewKey() {
  const Verification& v = message_.verification;
  std::wstring question = L"Trust the key " + v.fingerprint + L" for " + v.from + L" on " +
                          v.computer + L" from now on, in place of " + v.knownFingerprint +
                          L"?\r\n\r\nDo this only if " + v.from +
                          L" told you their key changed (a new computer, say), and the new "
                          L"fingerprint is the one they gave you.";
  if (ShowMessageBox(Handle(), question, L"Trust the new key",
                     MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES) {
    return;
  }
  ReplaceSenderKey(message_.senderName, message_.signingKey);
  SetWindowTextW(Item(kLabVerification),
                 (L"The new key " + v.fingerprint + L" is now trusted for " + v.from + L" on " +
                  v.computer + L".")
                     .c_str());
  EnableWindow(Item(kCmdTrust), FALSE);
}

}  // namespace parvox
