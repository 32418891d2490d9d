// Reads the interface table with GetAdaptersAddresses.
#include "network/LocalInterfaces.h"

#include <winsock2.h>
// iphlpapi.h needs the socket types first.
#include <iphlpapi.h>

#include <vector>

#include "network/UdpEndpoint.h"

namespace parvox {

std::vector<InterfaceAddress> ReadInterfaceTable() {
  constexpr ULONG kFlags =
      GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
  std::vector<unsigned char> buffer(16 * 1024);
  ULONG size = static_cast<ULONG>(buffer.size());
  ULONG result = ERROR_BUFFER_OVERFLOW;
  // The table can grow between the two calls; a few tries are enough.
  for (int attempt = 0; attempt < 4 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer.resize(size);
    result = GetAdaptersAddresses(AF_UNSPEC, kFlags, nullptr,
                                  reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
  }
  std::vector<InterfaceAddress> table;
  if (result != NO_ERROR) return table;
  for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
       adapter = adapter->Next) {
    bool up = adapter->OperStatus == IfOperStatusUp;
    bool loopback = adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK;
    for (IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter->FirstUnicastAddress; unicast != nullptr;
         unicast = unicast->Next) {
      const sockaddr* address = unicast->Address.lpSockaddr;
      if (address == nullptr || (address->sa_family != AF_INET && address->sa_family != AF_INET6)) {
        continue;
      }
      table.push_back(
          {EndpointFromSockaddr(address).address, unicast->OnLinkPrefixLength, up, loopback});
    }
  }
  return table;
}

}  // namespace parvox
