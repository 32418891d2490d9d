// The datagram Parvox programs exchange over UDP: a message or the receipt that answers it.
//
// How the network path fits together (who calls what):
// - Sending: for each ticked entry the Send command parses the address (NetworkAddress.h), gives
//   the entry its own message id (NewMessageId, MessageIds.h), encodes one message
//   (EncodeNetworkMessage) with To = RecipientAddress::to, sends it unicast through a UdpEndpoint
//   (UdpEndpoint.h) to a literal or "." at once and to a host name once HostLookup has an address
//   for it, and, unless the address says otherwise, to every BroadcastDestinations() of
//   ReadInterfaceTable(). It then waits up to 2 s on the endpoint's and the lookup's events through
//   the wait sources, feeds every decoded receipt to a DeliveryTracker (sending/DeliveryOutcome.h)
//   together with each mailslot result, and logs DeliveryTracker::Lines().
// - Receiving: the receiver opens a UdpEndpoint on the `Network Port` (one log line when the port
//   is taken), waits on its event in the message loop, drops sources that are IsUnfitSource() or
//   not nearby (Neighbourhood.h), decodes, and for a message addressed to this computer
//   (receiving/NetworkAcceptance.h) asks the SourceRateLimiter (RateLimits.h), then answers the
//   first copy of each message (its id and content: MessageIdMemory) with a receipt to the
//   datagram's source and hands it to the inbox, whose budget all routes share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace parvox {

// In the registered range, so Windows never hands it out as the source port of an outgoing
// connection (those come from 49152-65535), and used by no service we know of.
inline constexpr uint16_t kDefaultNetworkPort = 42165;
inline constexpr wchar_t kNetworkPortKey[] = L"Network Port";

inline constexpr char kNetworkMagic[4] = {'P', 'R', 'V', 'X'};
inline constexpr uint8_t kNetworkVersion = 1;
// Magic, version, kind and the message id (big-endian).
inline constexpr size_t kNetworkHeaderBytes = 4 + 1 + 1 + 8;
inline constexpr size_t kMaxNetworkTextBytes = 60000;
// From, To, the computer and the user name each.
inline constexpr size_t kMaxNetworkNameBytes = 1024;
// Fits one UDP datagram over IPv4 (65,507 bytes of payload).
inline constexpr size_t kMaxNetworkDatagramBytes =
    kNetworkHeaderBytes + 2 * kMaxNetworkNameBytes + kMaxNetworkTextBytes + 3;

enum class NetworkKind : uint8_t { kMessage = 1, kReceipt = 2 };

// Texts are bytes in the ANSI code page; the caller converts.
struct NetworkMessage {
  uint64_t id = 0;
  std::string from, to, text;
  bool operator==(const NetworkMessage&) const = default;
};

struct NetworkReceipt {
  uint64_t id = 0;
  std::string computer, user;
  bool operator==(const NetworkReceipt&) const = default;
};

enum class EncodeError { kNone, kTextTooLong, kNameTooLong, kZeroByte };

// Header, then From NUL To NUL Text NUL. Leaves `bytes` empty unless it returns kNone.
EncodeError EncodeNetworkMessage(const NetworkMessage& message, std::string& bytes);
// Header, then Computer NUL User NUL. Names longer than allowed are cut, a NUL ends a name.
std::string EncodeNetworkReceipt(const NetworkReceipt& receipt);

// monostate for anything that is not exactly one well-formed datagram of this version.
using DecodedDatagram = std::variant<std::monostate, NetworkMessage, NetworkReceipt>;
DecodedDatagram DecodeNetworkDatagram(std::string_view bytes);

}  // namespace parvox
