// What the network receiver lets through: messages addressed to this computer, each id once, and
// no more from one source than the rate limit allows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string_view>
#include <unordered_set>

#include "network/NetworkAddress.h"
#include "receiving/LocalIdentity.h"

namespace parvox {

// To equals, ignoring letter case, the computer's name, the user's name, an alias or "*"; or,
// from this computer only, ".", "localhost" or a loopback address.
bool IsAddressedToThisComputer(std::wstring_view to, const LocalIdentity& identity,
                               bool fromThisComputer);

// Remembers the most recent ids, a fixed number of them.
class MessageIdMemory {
 public:
  explicit MessageIdMemory(size_t capacity = 4096) : capacity_(capacity) {}
  // True the first time an id is seen, false while it is still remembered.
  bool Remember(uint64_t id);

 private:
  size_t capacity_;
  std::deque<uint64_t> order_;
  std::unordered_set<uint64_t> known_;
};

// A token bucket per source address (the port is ignored: a flood may vary it). A source that
// runs dry is refused; the first refusal asks for a notice, and it stays quiet until the
// source's bucket has filled up again.
class SourceRateLimiter {
 public:
  struct Limits {
    double burst = 20;     // messages accepted back to back
    double perSecond = 5;  // sustained rate
    size_t maxSources = 1024;
  };
  enum class Verdict { kAccept, kRefuseWithNotice, kRefuse };

  SourceRateLimiter() : SourceRateLimiter(Limits{}) {}
  explicit SourceRateLimiter(Limits limits) : limits_(limits) {}
  // `nowMs` is any monotonic clock in milliseconds.
  Verdict Admit(const IpAddress& source, uint64_t nowMs);

 private:
  struct Bucket {
    double tokens = 0;
    uint64_t lastMs = 0;
    bool noticed = false;
  };
  void MakeRoom(uint64_t nowMs);

  Limits limits_;
  std::map<IpAddress, Bucket> buckets_;
};

}  // namespace parvox
