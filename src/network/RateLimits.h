// Limits on what strangers may make this computer do: a token bucket, and one bucket per source
// in a table that stays bounded however many addresses a flood comes from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

#include "network/NetworkAddress.h"

namespace parvox {

// How much a token bucket lets through: `burst` back to back, then `perSecond`.
struct RateLimit {
  double burst = 20;
  double perSecond = 5;
};

// One token bucket. A bucket that runs dry refuses; the first refusal asks for a notice, and it
// stays quiet until the bucket has filled up again.
class TokenBucket {
 public:
  enum class Verdict { kAccept, kRefuseWithNotice, kRefuse };

  TokenBucket(const RateLimit& limit, uint64_t nowMs) : tokens_(limit.burst), lastMs_(nowMs) {}
  // `nowMs` is any monotonic clock in milliseconds.
  Verdict Take(const RateLimit& limit, uint64_t nowMs);
  // True when the bucket would be full by `nowMs`: forgetting it then loses nothing.
  bool FullBy(const RateLimit& limit, uint64_t nowMs) const;
  // True when the bucket holds `tokens` at `nowMs`: for a queue that waits for its turn.
  bool Holds(const RateLimit& limit, double tokens, uint64_t nowMs) const {
    return TokensBy(limit, nowMs) >= tokens;
  }

 private:
  double TokensBy(const RateLimit& limit, uint64_t nowMs) const;

  double tokens_;
  uint64_t lastMs_;
  bool noticed_ = false;
};

// A token bucket per source (SourceGroup: the port is ignored, as a flood may vary it, and one
// IPv6 /64 is one source). Once the table is full, sources it has no room for share one bucket,
// so that a flood from ever new addresses gets no fresh tokens.
class SourceRateLimiter {
 public:
  using Verdict = TokenBucket::Verdict;

  // Each source's bucket: 20 messages back to back, then 5 a second, by default.
  explicit SourceRateLimiter(RateLimit rate = {}, size_t maxSources = 1024)
      : rate_(rate), maxSources_(maxSources), overflow_(rate, 0) {}
  Verdict Admit(const IpAddress& source, uint64_t nowMs);

 private:
  bool MakeRoom(uint64_t nowMs);

  RateLimit rate_;
  size_t maxSources_;
  std::map<IpAddress, TokenBucket> buckets_;
  TokenBucket overflow_;
  uint64_t sweptMs_ = 0;
  bool swept_ = false;
};

}  // namespace parvox
