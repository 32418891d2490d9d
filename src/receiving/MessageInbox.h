// Where every received message goes, whatever carried it: repeats are dropped, each message
// gets its line in the log, and up to ten at a time pop up; one notice counts the rest. One
// budget for all of them, whatever their route and source, bounds the lines and pop-ups a second.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "network/RateLimits.h"
#include "receiving/DuplicateFilter.h"
#include "receiving/IncomingMessage.h"
#include "receiving/MessagePopup.h"
#include "receiving/MoreMessagesNotice.h"

namespace parvox {

// What a pop-up's Reply asks of the program's main window.
class MessageReplyHost {
 public:
  // Answer `address`; the pop-up closes itself right after this returns.
  virtual void ReplyTo(const std::wstring& address) = 0;

 protected:
  ~MessageReplyHost() = default;
};

class MessageInbox {
 public:
  static constexpr std::size_t kMaxOpenPopups = 10;

  explicit MessageInbox(MessageReplyHost& host) : host_(host) {}
  MessageInbox(const MessageInbox&) = delete;
  MessageInbox& operator=(const MessageInbox&) = delete;

  void Receive(IncomingMessage message);
  // Receive in two steps, for a route that answers what it takes: Admit makes the message's
  // texts safe and says whether it is new, a repeat (shown already) or over the budget (neither
  // shown nor to be answered); Show logs and pops up one that was new.
  // A route that must spend the budget before costly checks (a signature) says it did.
  enum class Admission { kNew, kRepeat, kOverBudget };
  Admission Admit(IncomingMessage& message, bool budgetSpent = false);
  // Takes one arrival's share of the budget; false when it is used up.
  bool SpendBudget();
  // Whether the budget holds `arrivals` shares now.
  bool HasBudget(double arrivals) const {
    return budget_.Holds(kBudget, arrivals, GetTickCount64());
  }
  void Show(const IncomingMessage& message);
  // Whether Show would open a pop-up now, rather than only log the message.
  bool HasRoomForPopup() { return OpenPopups() < kMaxOpenPopups; }
  // A line about arrivals (a source that sends too much, say), within the same budget.
  void Notice(const std::wstring& line);
  std::size_t OpenPopups();
  // The notice's window, or nullptr when it is not open.
  HWND NoticeWindow() const;

 private:
  void ForgetClosedPopups();
  void CountNotShown();

  // Generous for people writing to people, small enough that no flood fills the screen or log.
  static constexpr RateLimit kBudget{50, 10};

  MessageReplyHost& host_;
  DuplicateFilter repeats_;
  TokenBucket budget_{kBudget, GetTickCount64()};
  std::vector<std::unique_ptr<MessagePopup>> popups_;
  std::unique_ptr<MoreMessagesNotice> notice_;
  std::size_t notShown_ = 0;
};

}  // namespace parvox
