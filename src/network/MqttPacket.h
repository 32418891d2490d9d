// The MQTT 5 packets of the relay: what Parvox sends to the company's broker, encoded, and what
// the broker sends, decoded strictly from a byte stream that may hold only part of a packet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace parvox {

// A signed datagram (kMaxSignedDatagramBytes) with its topic and properties fits with room to
// spare; anything larger from a broker is refused before it is buffered.
inline constexpr size_t kDefaultMaxMqttPacketBytes = 128 * 1024;
// The largest remaining length four bytes of variable byte integer can hold.
inline constexpr uint32_t kMaxMqttRemainingLength = 268'435'455;

// Texts are UTF-8 without U+0000; binary fields (password, correlation data) are any bytes.
// Every text or binary field is at most 65,535 bytes.
struct MqttConnect {
  std::string clientId;
  bool cleanStart = true;
  uint16_t keepAlive = 0;
  std::optional<std::string> userName, password;
  std::optional<uint32_t> sessionExpiryInterval;
  std::optional<uint16_t> receiveMaximum;     // not 0
  std::optional<uint32_t> maximumPacketSize;  // not 0
  bool operator==(const MqttConnect&) const = default;
};

// A reason code of 0x80 or above refuses the connection.
struct MqttConnack {
  bool sessionPresent = false;
  uint8_t reasonCode = 0;
  std::optional<uint32_t> sessionExpiryInterval;
  std::optional<uint16_t> receiveMaximum;     // not 0
  std::optional<uint8_t> maximumQos;          // 0 or 1
  std::optional<uint32_t> maximumPacketSize;  // not 0
  std::optional<std::string> assignedClientId, reasonString;
  std::optional<uint16_t> serverKeepAlive;
  bool operator==(const MqttConnack&) const = default;
};

// QoS 0 or 1 only; packetId is 0 for QoS 0 and not 0 for QoS 1. The topic holds no wildcard.
struct MqttPublish {
  bool dup = false, retain = false;
  uint8_t qos = 0;
  std::string topic;
  uint16_t packetId = 0;
  std::optional<uint8_t> payloadFormatIndicator;  // 0 bytes, 1 UTF-8
  std::optional<uint32_t> messageExpiryInterval;
  std::optional<std::string> contentType, responseTopic, correlationData;
  std::string payload;
  bool operator==(const MqttPublish&) const = default;
};

struct MqttPuback {
  uint16_t packetId = 0;  // not 0
  uint8_t reasonCode = 0;
  std::optional<std::string> reasonString;
  bool operator==(const MqttPuback&) const = default;
};

struct MqttSubscription {
  std::string topicFilter;  // not empty
  uint8_t maximumQos = 1;   // 0 or 1
  bool noLocal = false;
  bool operator==(const MqttSubscription&) const = default;
};

struct MqttSubscribe {
  uint16_t packetId = 0;                        // not 0
  std::vector<MqttSubscription> subscriptions;  // at least one
  bool operator==(const MqttSubscribe&) const = default;
};

// One reason code for each subscription, in order; 0x80 and above refuse it.
struct MqttSuback {
  uint16_t packetId = 0;  // not 0
  std::optional<std::string> reasonString;
  std::vector<uint8_t> reasonCodes;  // at least one
  bool operator==(const MqttSuback&) const = default;
};

struct MqttPingreq {
  bool operator==(const MqttPingreq&) const = default;
};
struct MqttPingresp {
  bool operator==(const MqttPingresp&) const = default;
};

// Only the client may send a session expiry interval here.
struct MqttDisconnect {
  uint8_t reasonCode = 0;
  std::optional<uint32_t> sessionExpiryInterval;
  std::optional<std::string> reasonString;
  bool operator==(const MqttDisconnect&) const = default;
};

using MqttPacket = std::variant<MqttConnect, MqttConnack, MqttPublish, MqttPuback, MqttSubscribe,
                                MqttSuback, MqttPingreq, MqttPingresp, MqttDisconnect>;

// The packet's bytes, in their shortest form, with properties in a fixed order. Empty when the
// packet breaks a rule noted above or is too long, so that DecodeMqttPacket reads back unchanged
// whatever it is given of the packets it reads.
std::string EncodeMqttPacket(const MqttPacket& packet);

enum class MqttDecodeStatus { kNeedMore, kPacket, kMalformed };

struct MqttDecoded {
  MqttDecodeStatus status = MqttDecodeStatus::kNeedMore;
  size_t size = 0;  // with kPacket, the bytes the packet took from the front of the buffer
  MqttPacket packet;
};

// Reads the packet at the front of `bytes` as the broker sends it: CONNACK, PUBLISH, PUBACK,
// SUBACK, PINGRESP or DISCONNECT. Anything else, and any packet of more than `maxPacketBytes`
// (known from its fixed header, before the body arrives), is kMalformed and ends the connection.
// Properties Parvox does not use are checked and skipped; a Topic Alias is refused, as Parvox
// never allows one.
MqttDecoded DecodeMqttPacket(std::string_view bytes,
                             size_t maxPacketBytes = kDefaultMaxMqttPacketBytes);

}  // namespace parvox
