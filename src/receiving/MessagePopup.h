// The pop-up of one received message: who sent it to whom and when, the text to read and
// select, OK and Reply; Acknowledge for a message that asks for it. An urgent one sounds once and
// comes back to the front every minute until it is acknowledged or expires.
#pragma once

#include <functional>
#include <string>

#include "components/Form.h"
#include "receiving/IncomingMessage.h"

namespace parvox {

class MessagePopup : public Form {
 public:
  enum ItemId : int {
    kTxtMessage = 100,
    kCmdOK,
    kCmdReply,
    kLabHeader,
    kLabVerification,
    kCmdTrust,
    kCmdAcknowledge
  };
  using ReplyHandler = std::function<void(const std::wstring& from)>;

  // Creates the window and shows it in front without activating it; `cascade` moves the n-th
  // open pop-up down and right so they do not hide each other. The texts must already be
  // plain (see ReceivedText.h). Reply is disabled when there is no sender to answer. Under the
  // header, what the signature proves; for a changed key the user remembered, "Trust the new
  // key" replaces it after a confirmation.
  bool Open(const IncomingMessage& message, const std::wstring& header, int cascade,
            ReplyHandler onReply);

 protected:
  void OnCommand(int id, int code) override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  // Enter acknowledges a message that asks for it, else closes.
  int DefaultButton() const override {
    return Acknowledging() && !expired_ ? kCmdAcknowledge : kCmdOK;
  }
  // Shown without the keyboard; once the user comes to it, Enter and Escape work at once.
  HWND DefaultFocus() const override { return Item(DefaultButton()); }

 private:
  bool Acknowledging() const { return static_cast<bool>(message_.acknowledge); }
  void TrustNewKey();
  void Acknowledge();
  void OnExpired();
  void StopReminders();

  std::wstring from_;
  ReplyHandler onReply_;
  IncomingMessage message_;
  std::wstring verification_;  // the line under the header
  bool expired_ = false;
  bool acknowledgementFailed_ = false;
};

// How often an urgent pop-up comes back to the front: a minute, or for tests the seconds in the
// environment variable PARVOX_URGENT_REMINDER_SECONDS (1 to 3600).
unsigned UrgentReminderMs();

}  // namespace parvox
