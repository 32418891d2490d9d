// Networks beyond this computer's own subnets whose computers it takes messages and receipts
// from: colleagues on another subnet of the same office, listed in CIDR form in the settings.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "network/NetworkAddress.h"

namespace parvox {

struct TrustedNetworkList {
  // As interface entries, so that the neighbour check treats them like the computer's subnets.
  std::vector<InterfaceAddress> networks;
  std::vector<std::wstring> badEntries;  // as written, for the one line that names them
};

// Entries are separated by commas, semicolons or blanks. Each is an IPv4 or IPv6 network
// address, "/" and a prefix length of at least 8 (IPv4) or 16 (IPv6), with no bits set after the
// prefix ("10.1.0.0/16", "2001:db8:7::/48").
TrustedNetworkList ParseTrustedNetworks(std::wstring_view list);

}  // namespace parvox
