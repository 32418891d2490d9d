// The subnets this computer is on, as the network path checks sources against them: read at
// start and again, at most every 10 s, when something points to a change (a source or an
// address it does not know), so that a new address after a DHCP change or docking is soon known.
#pragma once

#include <cstdint>
#include <vector>

#include "network/NetworkAddress.h"

namespace parvox {

class Neighbourhood {
 public:
  // `trusted`: networks whose sources count as nearby besides the computer's own subnets (see
  // TrustedNetworks.h).
  explicit Neighbourhood(std::vector<InterfaceAddress> trusted);

  // Loopback, IPv6 link-local, on one of the subnets or a trusted network; a source outside them
  // makes the table be read again if it is due.
  bool IsNearby(const IpAddress& source);
  // What both UDP sockets take datagrams from: a source that is one computer (not
  // IsUnfitSource for the subnets or the trusted networks) and nearby.
  bool AcceptsSource(const IpAddress& source);
  // One of this computer's own addresses, or loopback.
  bool IsThisComputer(const IpAddress& address) const;
  // Reads the table again unless it was read less than 10 s ago; true when it did.
  bool RefreshIfDue();
  const std::vector<InterfaceAddress>& Interfaces() const { return interfaces_; }
  // Changes each time the table is read, for what is derived from it.
  uint64_t Generation() const { return generation_; }

 private:
  std::vector<InterfaceAddress> interfaces_;
  std::vector<InterfaceAddress> trusted_;
  uint64_t readMs_ = 0;
  uint64_t generation_ = 0;
};

}  // namespace parvox
