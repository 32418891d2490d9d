// The names this computer answers to on the network path, and who it says it is in a receipt.
#pragma once

#include <string>
#include <vector>

#include "network/NetworkAddress.h"

namespace parvox {

struct LocalIdentity {
  std::wstring computerName;  // the NetBIOS name, as receipts report it
  std::wstring userName;      // the logged-on user, the same name this computer sends as From
  // Further names a message's To may use: the domain or workgroup, the DNS host and full names
  // and this computer's own addresses.
  std::vector<std::wstring> aliases;
};

// The domain or workgroup this computer joined; empty when it joined neither.
std::wstring JoinedDomainOrWorkgroup();

// Reads the names from the system; `interfaces` supplies the addresses.
LocalIdentity ReadLocalIdentity(const std::vector<InterfaceAddress>& interfaces);

}  // namespace parvox
