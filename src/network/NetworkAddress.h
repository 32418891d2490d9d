// Where network datagrams go and come from: IP addresses, a recipient's address as typed in the
// address book, the broadcast destinations of this computer's subnets and the check that a
// source is one of its neighbours.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parvox {

struct IpAddress {
  enum class Family : uint8_t { kV4, kV6 };
  Family family = Family::kV4;
  std::array<uint8_t, 16> bytes{};  // network order; IPv4 uses the first 4
  uint32_t scopeId = 0;             // the zone of an IPv6 link-local address
  auto operator<=>(const IpAddress&) const = default;
};

struct NetworkEndpoint {
  IpAddress address;
  uint16_t port = 0;
  auto operator<=>(const NetworkEndpoint&) const = default;
};

IpAddress Ipv4Address(uint32_t value);  // value in host order: 0x7F000001 is 127.0.0.1
uint32_t Ipv4Value(const IpAddress& address);
// Strict dotted decimal for IPv4; IPv6 with "::" and a dotted tail, without a zone.
std::optional<IpAddress> ParseIpLiteral(std::wstring_view text);
// Dotted decimal, or IPv6 in its shortest form (lower case, longest zero run as "::").
std::wstring FormatIpAddress(const IpAddress& address);
bool IsLoopback(const IpAddress& address);
// Decimal 1 to 65535, nothing else.
std::optional<uint16_t> ParsePort(std::wstring_view text);
// Names on the network path (To, computers, users) compare ignoring letter case.
bool SameNetworkName(std::wstring_view a, std::wstring_view b);

struct RecipientAddress {
  enum class Kind { kThisComputer, kLiteral, kHostName, kInvalid };
  Kind kind = Kind::kInvalid;
  std::wstring to;         // what the datagram's To holds: the address without port or brackets
  IpAddress literal;       // for kLiteral; "." means the IPv4 loopback
  uint16_t port = 0;       // 0: the configured port
  bool broadcast = false;  // whether the neighbours' subnets get it too
};

// ".", an IP literal, "[IPv6]", any of these or a host name followed by ":port", or a name to
// resolve. A bad port makes the address kInvalid: it has no network route.
RecipientAddress ParseRecipientAddress(std::wstring_view address);

// One IP address of a local network interface.
struct InterfaceAddress {
  IpAddress address;
  uint8_t prefixLength = 0;
  bool up = false;
  bool loopback = false;
};

// One directed broadcast per IPv4 subnet of an interface that is up and not loopback, in table
// order without repeats. /31 and /32 have no broadcast address and are left out.
std::vector<IpAddress> BroadcastDestinations(const std::vector<InterfaceAddress>& interfaces);

// True for loopback, IPv6 link-local, and any address inside the subnet of an interface that is
// up. IPv4-mapped IPv6 sources count as IPv4.
bool IsNearbySource(const IpAddress& source, const std::vector<InterfaceAddress>& interfaces);

// True for a source no single computer sends from, so nothing it sends is taken or answered: the
// unspecified address, multicast, 255.255.255.255, the network or broadcast address of one of
// the IPv4 subnets in `interfaces`, and any IPv4-mapped IPv6 source (the IPv6 socket takes IPv6
// only, so such a source is forged).
bool IsUnfitSource(const IpAddress& source, const std::vector<InterfaceAddress>& interfaces);

// The part of a source address that names one computer for the rate limits: an IPv4 address
// whole, an IPv6 address by its /64 (the zone kept for link-local), since one computer may take
// any number of addresses in its own /64.
IpAddress SourceGroup(const IpAddress& source);

// True when `source` may answer a message sent to `destination`: the same address (for IPv6 the
// same /64), or for a broadcast destination an address on that broadcast's subnet.
bool AnswersDestination(const IpAddress& source, const IpAddress& destination,
                        const std::vector<InterfaceAddress>& interfaces);

}  // namespace parvox
