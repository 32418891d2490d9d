// Filtering, logging and showing received messages.
#include "receiving/MessageInbox.h"

#include <algorithm>

#include "components/VisibleText.h"
#include "log/Log.h"
#include "receiving/ReceivedText.h"

namespace parvox {
namespace {

std::wstring DateText(const SYSTEMTIME& time) {
  wchar_t text[128] = L"";
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, text, 128);
  return text;
}

std::wstring TimeText(const SYSTEMTIME& time) {
  wchar_t text[128] = L"";
  GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, text, 128);
  return text;
}

}  // namespace

void MessageInbox::Receive(IncomingMessage message) {
  if (Admit(message) == Admission::kNew) Show(message);
}

MessageInbox::Admission MessageInbox::Admit(IncomingMessage& message, bool budgetSpent) {
  // Names show on one line and at a bounded length; nothing in any field can act as anything
  // but text.
  message.from = ShownName(message.from);
  message.to = ShownName(message.to);
  message.text = PlainText(message.text);
  if (auto& classic = message.classicSpelling) {
    *classic = {ShownName(classic->from), ShownName(classic->to), PlainText(classic->text)};
  }
  if (repeats_.IsRepeat(message, GetTickCount64())) return Admission::kRepeat;
  return budgetSpent || SpendBudget() ? Admission::kNew : Admission::kOverBudget;
}

void MessageInbox::Show(const IncomingMessage& message) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  std::wstring header = ReceivedHeader(message.from, message.to, DateText(now), TimeText(now));
  AppendLog(false,
            ReceivedLogLine(header + L" [" + VerificationWord(message.verification.trust) + L"]" +
                                (message.arrivalNote.empty() ? L"" : L" " + message.arrivalNote),
                            message.text));

  if (OpenPopups() >= kMaxOpenPopups) {
    CountNotShown();
    return;
  }
  auto popup = std::make_unique<MessagePopup>();
  int cascade = static_cast<int>(popups_.size());
  if (popup->Open(message, header, cascade,
                  [this](const std::wstring& from) { host_.ReplyTo(from); })) {
    popups_.push_back(std::move(popup));
  }
}

void MessageInbox::Notice(const std::wstring& line) {
  if (SpendBudget()) AppendLog(false, line);
}

bool MessageInbox::SpendBudget() {
  switch (budget_.Take(kBudget, GetTickCount64())) {
    case TokenBucket::Verdict::kAccept:
      return true;
    case TokenBucket::Verdict::kRefuseWithNotice:
      AppendLog(false,
                L"Too many messages are arriving: further ones are ignored until fewer arrive.");
      return false;
    case TokenBucket::Verdict::kRefuse:
      break;
  }
  return false;
}

void MessageInbox::ForgetClosedPopups() {
  // A pop-up's object outlives its window until here; this never runs inside a pop-up's own
  // handlers, which only close the window.
  popups_.erase(std::remove_if(popups_.begin(), popups_.end(),
                               [](const std::unique_ptr<MessagePopup>& popup) {
                                 return popup->Handle() == nullptr;
                               }),
                popups_.end());
}

std::size_t MessageInbox::OpenPopups() {
  ForgetClosedPopups();
  return popups_.size();
}

HWND MessageInbox::NoticeWindow() const { return notice_ ? notice_->Handle() : nullptr; }

void MessageInbox::CountNotShown() {
  if (NoticeWindow() == nullptr) {
    notShown_ = 0;
    notice_ = std::make_unique<MoreMessagesNotice>();
    if (!notice_->Open(static_cast<int>(kMaxOpenPopups))) return;
  }
  notice_->SetCount(++notShown_);
}

}  // namespace parvox
