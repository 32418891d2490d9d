// The guard every test and benchmark process passes before it sends anything: the interface
// table, read the way the program reads it, must hold only the test network's addresses.
#include "support/IsolatedNetwork.h"

#include <cstdio>
#include <cstdlib>

#include "components/AnsiText.h"
#include "network/LocalInterfaces.h"

namespace parvox::test {
namespace {

bool InTestNetwork(const IpAddress& address) {
  const auto& b = address.bytes;
  if (IsLoopback(address)) return true;
  if (address.family == IpAddress::Family::kV4) {
    return (b[0] == 192 && b[1] == 0 && b[2] == 2) || (b[0] == 198 && b[1] == 51 && b[2] == 100) ||
           (b[0] == 203 && b[1] == 0 && b[2] == 113);
  }
  bool linkLocal = b[0] == 0xfe && (b[1] & 0xc0) == 0x80;
  bool documentation = b[0] == 0x20 && b[1] == 0x01 && b[2] == 0x0d && b[3] == 0xb8;
  return linkLocal || documentation;
}

}  // namespace

std::string RealNetworkInterface() {
  for (const InterfaceAddress& entry : ReadInterfaceTable()) {
    if (!InTestNetwork(entry.address)) {
      return "this computer has the address " + ToAnsi(FormatIpAddress(entry.address)) +
             ", outside the test network";
    }
  }
  return std::string();
}

void RequireIsolatedNetwork(const char* what) {
  std::string reason = RealNetworkInterface();
  if (reason.empty()) return;
  std::fprintf(stderr,
               "%s: %s. Run it through scripts/dev.sh, which gives it a network namespace of its "
               "own, so that nothing it sends reaches a real network.\n",
               what, reason.c_str());
  std::exit(3);
}

}  // namespace parvox::test
