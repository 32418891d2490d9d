// Tests and benchmarks send datagrams and look up names; they may do so only inside a network of
// their own, never on the network of the machine that runs them.
#pragma once

#include <string>

namespace parvox::test {

// Empty when every interface address is loopback, IPv6 link-local or in a documentation range
// (192.0.2.0/24, 198.51.100.0/24, 203.0.113.0/24, 2001:db8::/32), the ranges the test networks
// use; otherwise the reason, naming the first real address.
std::string RealNetworkInterface();

// Ends the process with that reason before anything is sent.
void RequireIsolatedNetwork(const char* what);

}  // namespace parvox::test
