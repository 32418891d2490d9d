// Token buckets, alone and per source.
#include "network/RateLimits.h"

#include <algorithm>

namespace parvox {

TokenBucket::Verdict TokenBucket::Take(const RateLimit& limit, uint64_t nowMs) {
  if (nowMs > lastMs_) {
    double refill = static_cast<double>(nowMs - lastMs_) / 1000.0 * limit.perSecond;
    tokens_ = std::min(limit.burst, tokens_ + refill);
    lastMs_ = nowMs;
  }
  if (tokens_ >= limit.burst) noticed_ = false;  // it has calmed down
  if (tokens_ >= 1) {
    tokens_ -= 1;
    return Verdict::kAccept;
  }
  if (noticed_) return Verdict::kRefuse;
  noticed_ = true;
  return Verdict::kRefuseWithNotice;
}

double TokenBucket::TokensBy(const RateLimit& limit, uint64_t nowMs) const {
  double idleSeconds = nowMs > lastMs_ ? static_cast<double>(nowMs - lastMs_) / 1000.0 : 0;
  return tokens_ + idleSeconds * limit.perSecond;
}

bool TokenBucket::FullBy(const RateLimit& limit, uint64_t nowMs) const {
  return TokensBy(limit, nowMs) >= limit.burst;
}

SourceRateLimiter::Verdict SourceRateLimiter::Admit(const IpAddress& source, uint64_t nowMs) {
  IpAddress group = SourceGroup(source);
  auto found = buckets_.find(group);
  if (found == buckets_.end()) {
    if (!MakeRoom(nowMs)) return overflow_.Take(rate_, nowMs);
    found = buckets_.emplace(group, TokenBucket(rate_, nowMs)).first;
  }
  return found->second.Take(rate_, nowMs);
}

// Forgets the sources whose buckets would be full by now. A source still paying off its flood is
// never forgotten: it would come back to a full bucket. While the table stays full of busy
// sources it is looked through at most every 100 ms, not for every newcomer.
bool SourceRateLimiter::MakeRoom(uint64_t nowMs) {
  if (buckets_.size() < maxSources_) return true;
  if (swept_ && nowMs - sweptMs_ < 100) return false;
  swept_ = true;
  sweptMs_ = nowMs;
  std::erase_if(buckets_, [&](const auto& entry) { return entry.second.FullBy(rate_, nowMs); });
  return buckets_.size() < maxSources_;
}

}  // namespace parvox
