// The network receiver's acceptance rule and its memory of messages.
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

bool MessageIdMemory::Remember(uint64_t id, uint64_t contentKey) {
  Seen seen{id, contentKey};
  if (capacity_ == 0 || !known_.insert(seen).second) return false;
  order_.push_back(seen);
  if (order_.size() > capacity_) {
    known_.erase(order_.front());
    order_.pop_front();
  }
  return true;
}

}  // namespace parvox
