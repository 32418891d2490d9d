// Pop-up layout and its buttons.
#include "receiving/MessagePopup.h"

#include <algorithm>
#include <array>
#include <optional>

#include "components/ControlSubclass.h"
#include "components/LocalTime.h"
#include "components/MessageBoxSeam.h"
#include "components/NumericText.h"
#include "identity/KnownSenderStore.h"
#include "identity/MessageSigning.h"
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
    ControlSpec{P::kCmdAcknowledge, L"cmdAcknowledge", K::kButton, kNoContainer, L"Acknowledge",
                {1635, 3390, 1335, 405}, 6,
                L"Tell the sender that you have read this message"},
};
// clang-format on

constexpr UINT_PTR kReminderTimer = 1, kExpiryTimer = 2;
constexpr int kClientHeight = 3915, kRowTwips = 525;

}  // namespace

unsigned UrgentReminderMs() {
  wchar_t seconds[16] = L"";
  DWORD length = GetEnvironmentVariableW(L"PARVOX_URGENT_REMINDER_SECONDS", seconds, 16);
  std::optional<uint32_t> value =
      length > 0 && length < 16 ? StrictDecimal(seconds, 4, 3600) : std::nullopt;
  return value && *value >= 1 ? *value * 1000 : 60000;
}

bool MessagePopup::Open(const IncomingMessage& message, const std::wstring& header, int cascade,
                        ReplyHandler onReply) {
  from_ = message.from;
  onReply_ = std::move(onReply);
  message_ = message;
  message_.text.clear();  // kept for the trust decision only
  bool changedKey = message.verification.trust == Trust::kChangedKey;
  bool urgent = message.options.urgent;
  std::wstring caption = (urgent       ? L"URGENT: "
                          : changedKey ? L"WARNING: "
                                       : L"") +
                         (L"Message from " + message.from);
  // Urgency first, where it is read first; what the signature proves after.
  std::wstring options = OptionsNote(message.options);
  verification_ = VerificationText(message.verification);
  if (!message.arrivalNote.empty()) verification_ += L" " + message.arrivalNote;
  if (!options.empty()) {
    verification_ = urgent ? options + L" " + verification_ : verification_ + L" " + options;
  }
  // An administrator's key is not the user's to replace.
  bool mayTrust = changedKey && !message.verification.knownKeyGiven && !message.signingKey.empty();
  // The texts are in the table, so their labels are made as tall as they need. Trust the new key
  // takes a row of its own where Acknowledge needs its place.
  auto layout = kPopupLayout;
  bool trustBelow = mayTrust && Acknowledging();
  for (ControlSpec& control : layout) {
    if (control.id == kLabHeader) control.caption = header.c_str();
    if (control.id == kLabVerification) control.caption = verification_.c_str();
    if (control.id == kCmdTrust && trustBelow) control.rect.top += kRowTwips;
  }
  if (!CreateDialogForm(nullptr, L"ParvoxMessage", caption.c_str(), 6000,
                        kClientHeight + (trustBelow ? kRowTwips : 0), layout))
    return false;
  ShowWindow(Item(kCmdTrust), mayTrust ? SW_SHOWNA : SW_HIDE);
  ShowWindow(Item(kCmdAcknowledge), Acknowledging() ? SW_SHOWNA : SW_HIDE);
  if (Acknowledging()) {
    SendMessageW(Item(kCmdOK), BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    SendMessageW(Item(kCmdAcknowledge), BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
  }
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
  if (urgent) {
    MessageBeep(MB_ICONEXCLAMATION);
    SetTimer(Handle(), kReminderTimer, UrgentReminderMs(), nullptr);
  }
  if (message.expiresAt != 0) {
    uint64_t now = SecondsSince1970();
    uint64_t left = message.expiresAt > now ? message.expiresAt - now : 0;
    // A message lives at most a week: well within a timer's range.
    SetTimer(Handle(), kExpiryTimer,
             static_cast<UINT>(std::min<uint64_t>(left * 1000 + 500, USER_TIMER_MAXIMUM)), nullptr);
  }
  return true;
}

LRESULT MessagePopup::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == kReminderTimer) {
    // Back in front and flashing, still without the keyboard.
    SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    FLASHWINFO flash{sizeof flash, Handle(), FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
    FlashWindowEx(&flash);
    return 0;
  }
  if (message == WM_TIMER && wParam == kExpiryTimer) {
    OnExpired();
    return 0;
  }
  if (message == WM_DESTROY) StopReminders();
  return Form::HandleMessage(message, wParam, lParam);
}

void MessagePopup::StopReminders() {
  KillTimer(Handle(), kReminderTimer);
  KillTimer(Handle(), kExpiryTimer);
}

void MessagePopup::OnExpired() {
  StopReminders();
  expired_ = true;
  verification_ += L" " + ExpiredNote(LocalTimeText(message_.expiresAt));
  SetWindowTextW(Item(kLabVerification), verification_.c_str());
  if (!Acknowledging()) return;
  // Its sender no longer waits for an acknowledgement: Enter and the keyboard go to OK.
  if (GetFocus() == Item(kCmdAcknowledge)) SetFocus(Item(kCmdOK));
  EnableWindow(Item(kCmdAcknowledge), FALSE);
  SendMessageW(Item(kCmdAcknowledge), BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  SendMessageW(Item(kCmdOK), BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

void MessagePopup::Acknowledge() {
  if (message_.acknowledge && message_.acknowledge()) {
    EndForm();
    return;
  }
  if (acknowledgementFailed_) return;
  acknowledgementFailed_ = true;
  verification_ +=
      L" The acknowledgement could not be sent: this computer no longer receives "
      L"messages over the network, or the relay it came through is gone.";
  SetWindowTextW(Item(kLabVerification), verification_.c_str());
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
    case kCmdAcknowledge:
    case IDOK:  // Enter
      // Once it has expired, Enter only closes it.
      if (Acknowledging() && !expired_) {
        Acknowledge();
      } else {
        EndForm();
      }
      break;
    case kCmdOK:
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
  verification_ = L"The new key " + v.fingerprint + L" is now trusted for " + v.from + L" on " +
                  v.computer + L".";
  SetWindowTextW(Item(kLabVerification), verification_.c_str());
  EnableWindow(Item(kCmdTrust), FALSE);
}

}  // namespace parvox
