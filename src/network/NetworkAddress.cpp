// Address parsing and subnet arithmetic of the network path, without the platform's resolver:
// anything that is not a literal is left for the system to resolve.
#include "network/NetworkAddress.h"

#include <algorithm>
#include <cwctype>

#include "components/NumericText.h"

namespace parvox {
namespace {

using Family = IpAddress::Family;

std::optional<uint32_t> ParseIpv4(std::wstring_view text) {
  uint32_t value = 0;
  for (int part = 0; part < 4; ++part) {
    size_t dot = part < 3 ? text.find(L'.') : text.size();
    if (dot == std::wstring_view::npos) return std::nullopt;
    std::wstring_view digits = text.substr(0, dot);
    // A leading zero reads as octal to some parsers: such a spelling is not taken as a literal.
    if (digits.size() > 1 && digits[0] == L'0') return std::nullopt;
    std::optional<uint32_t> octet = StrictDecimal(digits, 3, 255);
    if (!octet) return std::nullopt;
    value = value << 8 | *octet;
    text.remove_prefix(part < 3 ? dot + 1 : dot);
  }
  return value;
}

std::optional<uint16_t> ParseHexGroup(std::wstring_view text) {
  if (text.empty() || text.size() > 4) return std::nullopt;
  uint16_t value = 0;
  for (wchar_t c : text) {
    int digit = c >= L'0' && c <= L'9'   ? c - L'0'
                : c >= L'a' && c <= L'f' ? c - L'a' + 10
                : c >= L'A' && c <= L'F' ? c - L'A' + 10
                                         : -1;
    if (digit < 0) return std::nullopt;
    value = static_cast<uint16_t>(value << 4 | digit);
  }
  return value;
}

// The colon-separated groups of one side of "::"; a dotted IPv4 tail counts as two groups.
bool ParseGroups(std::wstring_view text, bool allowIpv4Tail, std::vector<uint16_t>& groups) {
  while (!text.empty()) {
    size_t colon = text.find(L':');
    std::wstring_view token = text.substr(0, colon);
    bool last = colon == std::wstring_view::npos;
    if (last && allowIpv4Tail && token.find(L'.') != std::wstring_view::npos) {
      std::optional<uint32_t> v4 = ParseIpv4(token);
      if (!v4) return false;
      groups.push_back(static_cast<uint16_t>(*v4 >> 16));
      groups.push_back(static_cast<uint16_t>(*v4));
      return true;
    }
    std::optional<uint16_t> group = ParseHexGroup(token);
    if (!group) return false;
    groups.push_back(*group);
    if (last) return true;
    text.remove_prefix(colon + 1);
    if (text.empty()) return false;  // a trailing single colon
  }
  return true;
}

std::optional<IpAddress> ParseIpv6(std::wstring_view text) {
  std::vector<uint16_t> head, tail;
  size_t gap = text.find(L"::");
  if (gap == std::wstring_view::npos) {
    if (!ParseGroups(text, true, head) || head.size() != 8) return std::nullopt;
  } else {
    if (text.find(L"::", gap + 1) != std::wstring_view::npos) return std::nullopt;
    if (!ParseGroups(text.substr(0, gap), false, head) ||
        !ParseGroups(text.substr(gap + 2), true, tail) || head.size() + tail.size() > 7) {
      return std::nullopt;
    }
  }
  IpAddress address{Family::kV6, {}, 0};
  auto put = [&](size_t index, uint16_t group) {
    address.bytes[2 * index] = static_cast<uint8_t>(group >> 8);
    address.bytes[2 * index + 1] = static_cast<uint8_t>(group);
  };
  for (size_t i = 0; i < head.size(); ++i) put(i, head[i]);
  for (size_t i = 0; i < tail.size(); ++i) put(8 - tail.size() + i, tail[i]);
  return address;
}

bool IsIpv4Mapped(const IpAddress& address) {
  if (address.family != Family::kV6) return false;
  for (size_t i = 0; i < 10; ++i) {
    if (address.bytes[i] != 0) return false;
  }
  return address.bytes[10] == 0xFF && address.bytes[11] == 0xFF;
}

IpAddress Unmapped(const IpAddress& address) {
  if (!IsIpv4Mapped(address)) return address;
  IpAddress v4{Family::kV4, {}, 0};
  std::copy_n(address.bytes.begin() + 12, 4, v4.bytes.begin());
  return v4;
}

bool IsLinkLocal(const IpAddress& address) {
  return address.family == Family::kV6 && address.bytes[0] == 0xFE &&
         (address.bytes[1] & 0xC0) == 0x80;
}

// The host part of `address` in a subnet of `prefixLength` bits: 0 for the network address,
// all ones for the broadcast.
uint32_t Ipv4HostPart(const IpAddress& address, unsigned prefixLength) {
  return Ipv4Value(address) & (0xFFFFFFFFu >> prefixLength);
}

bool SamePrefix(const IpAddress& a, const IpAddress& b, unsigned prefixLength) {
  for (unsigned bit = 0; bit < prefixLength; bit += 8) {
    unsigned bits = std::min(8u, prefixLength - bit);
    uint8_t mask = static_cast<uint8_t>(0xFF00 >> bits);
    if ((a.bytes[bit / 8] & mask) != (b.bytes[bit / 8] & mask)) return false;
  }
  return true;
}

}  // namespace

IpAddress Ipv4Address(uint32_t value) {
  IpAddress address{Family::kV4, {}, 0};
  for (size_t i = 0; i < 4; ++i) address.bytes[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
  return address;
}

uint32_t Ipv4Value(const IpAddress& address) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value = value << 8 | address.bytes[i];
  return value;
}

std::optional<IpAddress> ParseIpLiteral(std::wstring_view text) {
  if (text.find(L':') != std::wstring_view::npos) return ParseIpv6(text);
  if (std::optional<uint32_t> v4 = ParseIpv4(text)) return Ipv4Address(*v4);
  return std::nullopt;
}

std::wstring FormatIpAddress(const IpAddress& address) {
  auto dotted = [](const uint8_t* bytes) {
    std::wstring text;
    for (size_t i = 0; i < 4; ++i) {
      if (i > 0) text += L'.';
      text += std::to_wstring(bytes[i]);
    }
    return text;
  };
  if (address.family == Family::kV4) return dotted(address.bytes.data());
  if (IsIpv4Mapped(address)) return L"::ffff:" + dotted(address.bytes.data() + 12);

  uint16_t groups[8];
  for (size_t i = 0; i < 8; ++i)
    groups[i] = static_cast<uint16_t>(address.bytes[2 * i] << 8 | address.bytes[2 * i + 1]);
  size_t bestStart = 8, bestLength = 1;  // a single zero group is never shortened
  for (size_t i = 0; i < 8;) {
    size_t j = i;
    while (j < 8 && groups[j] == 0) ++j;
    if (j - i > bestLength) bestStart = i, bestLength = j - i;
    i = j == i ? i + 1 : j;
  }
  static constexpr wchar_t kHex[] = L"0123456789abcdef";
  std::wstring text;
  for (size_t i = 0; i < 8; ++i) {
    if (i == bestStart) {
      text += L"::";
      i += bestLength - 1;
      continue;
    }
    if (!text.empty() && text.back() != L':') text += L':';
    bool started = false;
    for (int shift = 12; shift >= 0; shift -= 4) {
      unsigned digit = groups[i] >> shift & 0xF;
      if (digit != 0 || started || shift == 0) text += kHex[digit], started = true;
    }
  }
  return text;
}

bool IsLoopback(const IpAddress& address) {
  IpAddress plain = Unmapped(address);
  if (plain.family == Family::kV4) return plain.bytes[0] == 127;
  IpAddress one{Family::kV6, {}, 0};
  one.bytes[15] = 1;
  return std::equal(plain.bytes.begin(), plain.bytes.end(), one.bytes.begin());
}

std::optional<uint16_t> ParsePort(std::wstring_view text) {
  std::optional<uint32_t> port = StrictDecimal(text, 5, 65535);
  if (!port || *port == 0) return std::nullopt;
  return static_cast<uint16_t>(*port);
}

bool SameNetworkName(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
}

RecipientAddress ParseRecipientAddress(std::wstring_view address) {
  using Kind = RecipientAddress::Kind;
  RecipientAddress recipient;
  std::wstring_view host = address;
  if (!address.empty() && address.front() == L'[') {
    size_t close = address.find(L']');
    if (close == std::wstring_view::npos) return {};
    host = address.substr(1, close - 1);
    std::wstring_view after = address.substr(close + 1);
    if (!after.empty()) {
      std::optional<uint16_t> port = after[0] == L':' ? ParsePort(after.substr(1)) : std::nullopt;
      if (!port) return {};
      recipient.port = *port;
    }
    if (std::optional<IpAddress> literal = ParseIpv6(host)) {
      recipient.literal = *literal;
      recipient.kind = Kind::kLiteral;
    } else if (size_t zone = host.find(L'%');
               zone != std::wstring_view::npos && zone > 0 && ParseIpv6(host.substr(0, zone))) {
      recipient.kind = Kind::kHostName;  // the resolver knows the zone's names and numbers
    } else {
      return {};
    }
  } else if (std::count(address.begin(), address.end(), L':') >= 2) {
    // A bare IPv6 literal has no room for a port; one with a zone is left to the resolver.
    if (std::optional<IpAddress> literal = ParseIpv6(address)) {
      recipient.literal = *literal;
      recipient.kind = Kind::kLiteral;
    } else if (address.find(L'%') != std::wstring_view::npos) {
      recipient.kind = Kind::kHostName;
    } else {
      return {};
    }
  } else {
    if (size_t colon = address.find(L':'); colon != std::wstring_view::npos) {
      std::optional<uint16_t> port = ParsePort(address.substr(colon + 1));
      if (!port) return {};
      recipient.port = *port;
      host = address.substr(0, colon);
    }
    if (host.empty()) return {};
    if (host == L".") {
      recipient.kind = Kind::kThisComputer;
      recipient.literal = Ipv4Address(0x7F000001);
    } else if (std::optional<uint32_t> v4 = ParseIpv4(host)) {
      recipient.kind = Kind::kLiteral;
      recipient.literal = Ipv4Address(*v4);
    } else {
      recipient.kind = Kind::kHostName;
    }
  }
  recipient.to = host;
  // An IPv4 address written as IPv6 goes out as the IPv4 it is; the IPv6 socket takes no IPv4.
  if (recipient.kind == Kind::kLiteral && IsIpv4Mapped(recipient.literal)) {
    recipient.literal = Unmapped(recipient.literal);
    recipient.to = FormatIpAddress(recipient.literal);  // as the receiver knows its addresses
  }
  recipient.broadcast = recipient.kind == Kind::kHostName ||
                        (recipient.kind == Kind::kLiteral && !IsLoopback(recipient.literal));
  return recipient;
}

std::vector<IpAddress> BroadcastDestinations(const std::vector<InterfaceAddress>& interfaces) {
  std::vector<IpAddress> destinations;
  for (const InterfaceAddress& entry : interfaces) {
    if (!entry.up || entry.loopback || entry.address.family != Family::kV4) continue;
    uint32_t address = Ipv4Value(entry.address);
    if (address == 0 || entry.prefixLength == 0 || entry.prefixLength > 30) continue;
    IpAddress broadcast = Ipv4Address(address | (0xFFFFFFFFu >> entry.prefixLength));
    if (std::find(destinations.begin(), destinations.end(), broadcast) == destinations.end()) {
      destinations.push_back(broadcast);
    }
  }
  return destinations;
}

bool IsNearbySource(const IpAddress& source, const std::vector<InterfaceAddress>& interfaces) {
  IpAddress plain = Unmapped(source);
  if (IsLoopback(plain)) return true;
  if (IsLinkLocal(plain)) return true;
  unsigned maxPrefix = plain.family == Family::kV4 ? 32 : 128;
  return std::any_of(interfaces.begin(), interfaces.end(), [&](const InterfaceAddress& entry) {
    // A prefix of 0 would make the whole world a neighbour: take it for the address alone.
    unsigned prefix =
        entry.prefixLength == 0 ? maxPrefix : std::min<unsigned>(entry.prefixLength, maxPrefix);
    return entry.up && entry.address.family == plain.family &&
           SamePrefix(plain, entry.address, prefix);
  });
}

bool IsUnfitSource(const IpAddress& source, const std::vector<InterfaceAddress>& interfaces) {
  if (IsIpv4Mapped(source)) return true;
  if (source.family == Family::kV6) {
    IpAddress unspecified{Family::kV6, {}, 0};
    return source.bytes[0] == 0xFF ||
           std::equal(source.bytes.begin(), source.bytes.end(), unspecified.bytes.begin());
  }
  uint32_t value = Ipv4Value(source);
  if (value == 0 || value == 0xFFFFFFFFu || (value >> 28) == 0xE) return true;
  return std::any_of(interfaces.begin(), interfaces.end(), [&](const InterfaceAddress& entry) {
    if (entry.address.family != Family::kV4 || entry.prefixLength == 0 || entry.prefixLength > 30)
      return false;
    uint32_t host = Ipv4HostPart(source, entry.prefixLength);
    return SamePrefix(source, entry.address, entry.prefixLength) &&
           (host == 0 || host == 0xFFFFFFFFu >> entry.prefixLength);
  });
}

IpAddress SourceGroup(const IpAddress& source) {
  IpAddress group = Unmapped(source);
  if (group.family == Family::kV4) return group;
  std::fill(group.bytes.begin() + 8, group.bytes.end(), uint8_t{0});
  if (!IsLinkLocal(group)) group.scopeId = 0;
  return group;
}

bool AnswersDestination(const IpAddress& source, const IpAddress& destination,
                        const std::vector<InterfaceAddress>& interfaces) {
  IpAddress plain = Unmapped(source), to = Unmapped(destination);
  if (plain.family != to.family) return false;
  if (plain.bytes == to.bytes) return true;
  // A message to this computer's loopback is answered from any loopback address.
  if (IsLoopback(plain) && IsLoopback(to)) return true;
  // An IPv6 computer answers from whichever of its addresses Windows picks (a temporary one,
  // say): the same /64 is the same computer as far as any limit here can tell.
  if (to.family == Family::kV6) return SourceGroup(plain) == SourceGroup(to);
  return std::any_of(interfaces.begin(), interfaces.end(), [&](const InterfaceAddress& entry) {
    if (entry.address.family != Family::kV4 || entry.prefixLength == 0 || entry.prefixLength > 30)
      return false;
    bool isBroadcast = SamePrefix(to, entry.address, entry.prefixLength) &&
                       Ipv4HostPart(to, entry.prefixLength) == 0xFFFFFFFFu >> entry.prefixLength;
    return isBroadcast && SamePrefix(plain, entry.address, entry.prefixLength);
  });
}

}  // namespace parvox
