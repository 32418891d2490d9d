// The interface table, kept and refreshed for the source checks.
#include "network/Neighbourhood.h"

#include <windows.h>

#include <algorithm>

#include "network/LocalInterfaces.h"

namespace parvox {
namespace {

// A stranger can make the table be read by sending from anywhere: not more often than this.
constexpr uint64_t kRefreshMs = 10000;

}  // namespace

Neighbourhood::Neighbourhood(std::vector<InterfaceAddress> trusted)
    : interfaces_(ReadInterfaceTable()), trusted_(std::move(trusted)), readMs_(GetTickCount64()) {}

bool Neighbourhood::IsNearby(const IpAddress& source) {
  if (IsNearbySource(source, interfaces_) || IsNearbySource(source, trusted_)) return true;
  return RefreshIfDue() && IsNearbySource(source, interfaces_);
}

bool Neighbourhood::AcceptsSource(const IpAddress& source) {
  // A trusted network's network and broadcast addresses are no single computer either.
  return !IsUnfitSource(source, interfaces_) && !IsUnfitSource(source, trusted_) &&
         IsNearby(source);
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
