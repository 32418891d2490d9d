// The interface table, kept and refreshed for the source checks.
#include "network/Neighbourhood.h"

#include <windows.h>

#include <algorithm>

#include "network/LocalInterfaces.h"

namespace parvox {
namespace {

// A stranger can make the table be read by sending from anywhere: not more often than this.
constexpr uint64_t kRefreshMs = 10000;

std::vector<InterfaceAddress>& Trusted() {
  static std::vector<InterfaceAddress> networks;
  return networks;
}

}  // namespace

void TrustNetworks(std::vector<InterfaceAddress> networks) { Trusted() = std::move(networks); }

Neighbourhood::Neighbourhood() : interfaces_(ReadInterfaceTable()), readMs_(GetTickCount64()) {}

bool Neighbourhood::IsNearby(const IpAddress& source) {
  if (IsNearbySource(source, interfaces_) || IsNearbySource(source, Trusted())) return true;
  return RefreshIfDue() && IsNearbySource(source, interfaces_);
}

bool Neighbourhood::AcceptsSource(const IpAddress& source) {
  return !IsUnfitSource(source, interfaces_) && IsNearby(source);
}

bool Neighbourhood::IsThisComputer(const IpAddress& address) const {
  return IsLoopback(address) ||
         std::any_of(interfaces_.begin(), interfaces_.end(),
                     [&](const InterfaceAddress& entry) { return entry.address == address; });
}

bool Neighbourhood::RefreshIfDue() {
  uint64_t now = GetTickCount64();
  if (now - readMs_ < kRefreshMs) return false;
  interfaces_ = ReadInterfaceTable();
  readMs_ = now;
  ++generation_;
  return true;
}

}  // namespace parvox
