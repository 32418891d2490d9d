// The network receiver's acceptance rule, its memory of message ids and its per-source limit.
#include "receiving/NetworkAcceptance.h"

#include <algorithm>

namespace parvox {
bool IsAddressedToThisComputer(std::wstring_view to, const LocalIdentity& identity,
                               bool fromThisComputer) {
  if (to.empty()) return false;
  if (to == L"*" || SameNetworkName(to, identity.computerName) ||
      SameNetworkName(to, identity.userName)) {
    return true;
  }
  if (std::any_of(identity.aliases.begin(), identity.aliases.end(),
                  [&](const std::wstring& alias) { return SameNetworkName(to, alias); })) {
    return true;
  }
  if (!fromThisComputer) return false;
  std::optional<IpAddress> literal = ParseIpLiteral(to);
  return to == L"." || SameNetworkName(to, L"localhost") || (literal && IsLoopback(*literal));
}

bool MessageIdMemory::Remember(uint64_t id) {
  if (capacity_ == 0 || !known_.insert(id).second) return false;
  order_.push_back(id);
  if (order_.size() > capacity_) {
    known_.erase(order_.front());
    order_.pop_front();
  }
  return true;
}

SourceRateLimiter::Verdict SourceRateLimiter::Admit(const IpAddress& source, uint64_t nowMs) {
  auto found = buckets_.find(source);
  if (found == buckets_.end()) {
    MakeRoom(nowMs);
    found = buckets_.emplace(source, Bucket{limits_.burst, nowMs, false}).first;
  }
  Bucket& bucket = found->second;
  if (nowMs > bucket.lastMs) {
    double refill = static_cast<double>(nowMs - bucket.lastMs) / 1000.0 * limits_.perSecond;
    bucket.tokens = std::min(limits_.burst, bucket.tokens + refill);
    bucket.lastMs = nowMs;
  }
  if (bucket.tokens >= limits_.burst) bucket.noticed = false;  // it has calmed down
  if (bucket.tokens >= 1) {
    bucket.tokens -= 1;
    return Verdict::kAccept;
  }
  if (bucket.noticed) return Verdict::kRefuse;
  bucket.noticed = true;
  return Verdict::kRefuseWithNotice;
}

// Forgets sources whose buckets would be full by now; failing that, the one heard from longest
// ago, so that the table never outgrows its limit.
void SourceRateLimiter::MakeRoom(uint64_t nowMs) {
  if (buckets_.size() < limits_.maxSources || buckets_.empty()) return;
  auto full = [&](const Bucket& bucket) {
    double idleSeconds =
        nowMs > bucket.lastMs ? static_cast<double>(nowMs - bucket.lastMs) / 1000.0 : 0;
    return bucket.tokens + idleSeconds * limits_.perSecond >= limits_.burst;
  };
  std::erase_if(buckets_, [&](const auto& entry) { return full(entry.second); });
  if (buckets_.size() < limits_.maxSources) return;
  auto oldest = std::min_element(
      buckets_.begin(), buckets_.end(),
      [](const auto& a, const auto& b) { return a.second.lastMs < b.second.lastMs; });
  buckets_.erase(oldest);
}

}  // namespace parvox
