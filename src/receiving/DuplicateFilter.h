// The inbox's rule for repeats: classic senders write one copy of a message per network
// transport, so the same message arriving again within a short time is shown once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <unordered_map>

#include "receiving/IncomingMessage.h"

namespace parvox {

class DuplicateFilter {
 public:
  // Messages are remembered for `windowMs`; at most `capacity` at a time (the oldest goes
  // first), so a flood of different messages keeps the memory bounded.
  explicit DuplicateFilter(std::uint64_t windowMs = 2000, std::size_t capacity = 16384);

  // True when the same message (the same id, From and Text whatever its To, or without an id the
  // same From, To and Text) was let through less than the window before `nowMs` (a message
  // with an id is also a repeat of one with the same From, To and Text); otherwise remembers it
  // and returns false. A signed message is a repeat only of one signed with the same key.
  bool IsRepeat(const IncomingMessage& message, std::uint64_t nowMs);

 private:
  struct Seen {
    std::uint64_t key;
    std::uint64_t atMs;
  };
  void Forget(std::uint64_t nowMs);

  std::uint64_t windowMs_;
  std::size_t capacity_;
  std::deque<Seen> order_;  // oldest first
  std::unordered_map<std::uint64_t, std::uint64_t> lastSeen_;
};

// The key of a message's From, To and Text: a 64-bit FNV-1a hash. Only keys are kept, never the
// text, so a long message costs no more than a short one.
std::uint64_t ContentKey(const IncomingMessage& message);

}  // namespace parvox
