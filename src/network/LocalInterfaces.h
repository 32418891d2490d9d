// This computer's network interfaces as the portable subnet arithmetic needs them.
#pragma once

#include <vector>

#include "network/NetworkAddress.h"

namespace parvox {

// Every unicast IPv4 and IPv6 address of every adapter; empty when the system cannot say.
std::vector<InterfaceAddress> ReadInterfaceTable();

}  // namespace parvox
