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
// Version 1 is what older senders speak: unsigned, texts in the ANSI code page. Version 2 is
// signed and UTF-8. Version 3 is a version-2 message with an expiry and options, so that a message
// held by the relay for hours can still be told from one sent again; Parvox sends its messages in
// version 3 and its receipts in version 2, and still answers version 1.
inline constexpr uint8_t kNetworkVersion = 1;
inline constexpr uint8_t kSignedNetworkVersion = 2;
inline constexpr uint8_t kExpiringNetworkVersion = 3;
// Magic, version, kind and the message id (big-endian).
inline constexpr size_t kNetworkHeaderBytes = 4 + 1 + 1 + 8;
inline constexpr size_t kMaxNetworkTextBytes = 60000;
// From, To, the computer and the user name each.
inline constexpr size_t kMaxNetworkNameBytes = 1024;
// Fits one UDP datagram over IPv4 (65,507 bytes of payload).
inline constexpr size_t kMaxNetworkDatagramBytes =
    kNetworkHeaderBytes + 2 * kMaxNetworkNameBytes + kMaxNetworkTextBytes + 3;

// Version 2's parts: a P-256 public key as an uncompressed point (0x04, X, Y), an ECDSA
// signature as r and s of 32 bytes each, and a SHA-256 digest.
inline constexpr size_t kPublicKeyBytes = 65;
inline constexpr size_t kSignatureBytes = 64;
inline constexpr size_t kDigestBytes = 32;
// Header, the time it was sent and the key; the signature ends the datagram.
inline constexpr size_t kSignedHeaderBytes = kNetworkHeaderBytes + 8 + kPublicKeyBytes;
// Version 3 adds the expiry (8 bytes) and the options (4) between the time and the key.
inline constexpr size_t kLifetimeBytes = 8 + 4;
inline constexpr size_t kMaxSignedDatagramBytes = kSignedHeaderBytes + kLifetimeBytes +
                                                  3 * kMaxNetworkNameBytes + kMaxNetworkTextBytes +
                                                  4 + kSignatureBytes;
// The longest a message may live: what the relay may hold it for, and so how long a receiver
// must remember it to tell it from the same message sent again.
inline constexpr uint64_t kMaxMessageLifetimeSeconds = 7 * 24 * 3600;

// An acknowledgement has a receipt's layout: it says a person pressed Acknowledge on the message
// whose digest it names, where a receipt says only that a computer showed it.
enum class NetworkKind : uint8_t { kMessage = 1, kReceipt = 2, kAcknowledgement = 3 };

// Version 3's option bits. An urgent message asks for acknowledgement too.
inline constexpr uint32_t kOptionUrgent = 1u << 0;
inline constexpr uint32_t kOptionAcknowledgementRequested = 1u << 1;

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

// Texts are UTF-8. `sentAt` and `expiresAt` count seconds since 1970-01-01 00:00 UTC. Without an
// expiry (0) the message is version 2 and has no options; with one it is version 3, expires after
// it was sent and at most kMaxMessageLifetimeSeconds later. `options` are bits, all of them kept
// and signed; a receiver acts on those it knows. `signature` signs every byte before it; the
// encoder writes whatever it holds, so an empty one gives the bytes to sign.
struct SignedMessage {
  uint64_t id = 0;
  uint64_t sentAt = 0;
  std::string publicKey, from, to, computer, text, signature;
  uint64_t expiresAt = 0;
  uint32_t options = 0;
  bool operator==(const SignedMessage&) const = default;
};

// Answers the message whose whole datagram hashes to `messageDigest`: a receipt, or an
// acknowledgement (`sentAt` is then when the person acknowledged it). The kind is signed, so one
// cannot be passed off as the other.
struct SignedReceipt {
  uint64_t id = 0;
  uint64_t sentAt = 0;
  std::string messageDigest, publicKey, computer, user, signature;
  NetworkKind kind = NetworkKind::kReceipt;
  bool operator==(const SignedReceipt&) const = default;
};

enum class EncodeError { kNone, kTextTooLong, kNameTooLong, kZeroByte, kNotUtf8, kBadLifetime };

// Header, then From NUL To NUL Text NUL. Leaves `bytes` empty unless it returns kNone.
EncodeError EncodeNetworkMessage(const NetworkMessage& message, std::string& bytes);
// Header, then Computer NUL User NUL. Names longer than allowed are cut, a NUL ends a name.
std::string EncodeNetworkReceipt(const NetworkReceipt& receipt);

// Header, sent-at, (version 3: expires-at and options,) key, then From NUL To NUL Computer NUL Text
// NUL and the signature.
EncodeError EncodeSignedMessage(const SignedMessage& message, std::string& bytes);
// Header, sent-at, digest, key, then Computer NUL User NUL and the signature. Names are cut as
// in version 1, and at a whole UTF-8 character.
std::string EncodeSignedReceipt(const SignedReceipt& receipt);
// The bytes a signature covers: everything before it.
std::string SignedPart(SignedMessage message);
std::string SignedPart(SignedReceipt receipt);

// monostate for anything that is not exactly one well-formed datagram of a known version. The
// signature is not checked here.
using DecodedDatagram =
    std::variant<std::monostate, NetworkMessage, NetworkReceipt, SignedMessage, SignedReceipt>;
DecodedDatagram DecodeNetworkDatagram(std::string_view bytes);

}  // namespace parvox
