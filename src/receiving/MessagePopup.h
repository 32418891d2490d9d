// The pop-up of one received message: who sent it to whom and when, the text to read and
// select, OK and Reply.
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
    kCmdTrust
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
  int DefaultButton() const override { return kCmdOK; }
  // Shown without the keyboard; once the user comes to it, Enter and Escape work at once.
  HWND DefaultFocus() const override { return Item(kCmdOK); }

 private:
  void TrustNewKey();

  std::wstring from_;
  ReplyHandler onReply_;
  IncomingMessage message_;
};

}  // namespace parvox
