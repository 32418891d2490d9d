// Reading the trusted networks' list.
#include "network/TrustedNetworks.h"

#include <optional>

#include "components/NumericText.h"

namespace parvox {
namespace {

bool IsSeparator(wchar_t c) { return c == L',' || c == L';' || c == L' ' || c == L'\t'; }

std::optional<InterfaceAddress> ParseNetwork(std::wstring_view entry) {
  size_t slash = entry.find(L'/');
  if (slash == std::wstring_view::npos) return std::nullopt;
  std::optional<IpAddress> address = ParseIpLiteral(entry.substr(0, slash));
  if (!address) return std::nullopt;
  bool v4 = address->family == IpAddress::Family::kV4;
  unsigned maxPrefix = v4 ? 32 : 128;
  // Anything wider than a /8 or an IPv6 /16 is no office's network: it would open the receiver
  // to a good part of the Internet, so it is taken for a typing error too.
  unsigned minPrefix = v4 ? 8 : 16;
  std::optional<uint32_t> length = StrictDecimal(entry.substr(slash + 1), 3, maxPrefix);
  if (!length || *length < minPrefix) return std::nullopt;
  unsigned prefix = *length;
  // A bit set after the prefix is most likely a typing error in the network's address.
  for (unsigned bit = prefix; bit < maxPrefix; ++bit) {
    if (address->bytes[bit / 8] & (0x80 >> (bit % 8))) return std::nullopt;
  }
  return InterfaceAddress{*address, static_cast<uint8_t>(prefix), true, false};
}

}  // namespace

TrustedNetworkList ParseTrustedNetworks(std::wstring_view list) {
  TrustedNetworkList result;
  while (!list.empty()) {
    size_t start = 0;
    while (start < list.size() && IsSeparator(list[start])) ++start;
    size_t end = start;
    while (end < list.size() && !IsSeparator(list[end])) ++end;
    std::wstring_view entry = list.substr(start, end - start);
    list.remove_prefix(end);
    if (entry.empty()) continue;
    if (std::optional<InterfaceAddress> network = ParseNetwork(entry)) {
      result.networks.push_back(*network);
    } else {
      result.badEntries.emplace_back(entry);
    }
  }
  return result;
}

}  // namespace parvox
