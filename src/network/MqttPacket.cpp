// Encoding and strict decoding of MQTT 5 packets. The broker is a stranger: each length it sends
// is checked against what remains, and whatever the client would not accept ends the connection.
#include "network/MqttPacket.h"

#include <initializer_list>
#include <utility>

#include "components/Utf8Text.h"

namespace parvox {
namespace {

enum PacketType : uint8_t {
  kConnect = 1,
  kConnack = 2,
  kPublish = 3,
  kPuback = 4,
  kSubscribe = 8,
  kSuback = 9,
  kPingreq = 12,
  kPingresp = 13,
  kDisconnect = 14
};

// The property identifiers a broker may send to Parvox, which asks for no extended
// authentication; all are below 64, so a 64-bit mask holds a set of them.
enum PropertyId : uint8_t {
  kPayloadFormatIndicator = 0x01,
  kMessageExpiryInterval = 0x02,
  kContentType = 0x03,
  kResponseTopic = 0x08,
  kCorrelationData = 0x09,
  kSubscriptionIdentifier = 0x0B,
  kSessionExpiryInterval = 0x11,
  kAssignedClientId = 0x12,
  kServerKeepAlive = 0x13,
  kResponseInformation = 0x1A,
  kServerReference = 0x1C,
  kReasonString = 0x1F,
  kReceiveMaximum = 0x21,
  kTopicAliasMaximum = 0x22,
  kMaximumQos = 0x24,
  kRetainAvailable = 0x25,
  kUserProperty = 0x26,
  kMaximumPacketSize = 0x27,
  kWildcardSubscriptionAvailable = 0x28,
  kSubscriptionIdentifierAvailable = 0x29,
  kSharedSubscriptionAvailable = 0x2A
};

constexpr uint64_t Allowed(std::initializer_list<PropertyId> ids) {
  uint64_t mask = 0;
  for (PropertyId id : ids) mask |= uint64_t{1} << id;
  return mask;
}

constexpr uint64_t kConnackProperties =
    Allowed({kSessionExpiryInterval, kAssignedClientId, kServerKeepAlive, kResponseInformation,
             kServerReference, kReasonString, kReceiveMaximum, kTopicAliasMaximum, kMaximumQos,
             kRetainAvailable, kUserProperty, kMaximumPacketSize, kWildcardSubscriptionAvailable,
             kSubscriptionIdentifierAvailable, kSharedSubscriptionAvailable});
// No Topic Alias: Parvox's CONNECT leaves Topic Alias Maximum at 0.
constexpr uint64_t kPublishProperties =
    Allowed({kPayloadFormatIndicator, kMessageExpiryInterval, kContentType, kResponseTopic,
             kCorrelationData, kSubscriptionIdentifier, kUserProperty});
constexpr uint64_t kAcknowledgementProperties = Allowed({kReasonString, kUserProperty});
// A broker may not change the session expiry interval on its way out.
constexpr uint64_t kDisconnectProperties =
    Allowed({kReasonString, kUserProperty, kServerReference});

enum class ValueKind { kByte, kTwoBytes, kFourBytes, kVarInt, kText, kBinary, kTextPair };

ValueKind KindOf(uint8_t id) {
  switch (id) {
    case kMessageExpiryInterval:
    case kSessionExpiryInterval:
    case kMaximumPacketSize:
      return ValueKind::kFourBytes;
    case kServerKeepAlive:
    case kReceiveMaximum:
    case kTopicAliasMaximum:
      return ValueKind::kTwoBytes;
    case kSubscriptionIdentifier:
      return ValueKind::kVarInt;
    case kContentType:
    case kResponseTopic:
    case kAssignedClientId:
    case kResponseInformation:
    case kServerReference:
    case kReasonString:
      return ValueKind::kText;
    case kCorrelationData:
      return ValueKind::kBinary;
    case kUserProperty:
      return ValueKind::kTextPair;
    default:
      return ValueKind::kByte;
  }
}

bool IsMqttText(std::string_view text) {
  return text.find('\0') == std::string_view::npos && IsUtf8(text);
}

bool IsTopicName(std::string_view topic) {
  return !topic.empty() && topic.find_first_of("+#") == std::string_view::npos;
}

enum class VarIntRead { kDone, kNeedMore, kMalformed };

// At most four bytes, and no more than the number needs: a last byte of 0 after the first would
// be a second spelling of a smaller number.
VarIntRead ReadVarInt(std::string_view bytes, uint32_t& value, size_t& used) {
  value = 0;
  for (size_t i = 0; i < 4; ++i) {
    if (i == bytes.size()) return VarIntRead::kNeedMore;
    uint8_t byte = static_cast<uint8_t>(bytes[i]);
    value |= uint32_t{byte & 0x7Fu} << (7 * i);
    if ((byte & 0x80) == 0) {
      used = i + 1;
      return i > 0 && byte == 0 ? VarIntRead::kMalformed : VarIntRead::kDone;
    }
  }
  return VarIntRead::kMalformed;
}

// Reads a complete body; running out of bytes means the packet is malformed.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : rest_(bytes) {}
  bool Empty() const { return rest_.empty(); }
  std::string_view TakeRest() { return std::exchange(rest_, {}); }

  bool Take(size_t count, std::string_view& bytes) {
    if (count > rest_.size()) return false;
    bytes = rest_.substr(0, count);
    rest_.remove_prefix(count);
    return true;
  }
  template <typename Number>
  bool BigEndian(Number& value) {
    std::string_view bytes;
    if (!Take(sizeof(Number), bytes)) return false;
    value = 0;
    for (char byte : bytes) value = static_cast<Number>(value << 8 | static_cast<uint8_t>(byte));
    return true;
  }
  bool VarInt(uint32_t& value) {
    size_t used = 0;
    if (ReadVarInt(rest_, value, used) != VarIntRead::kDone) return false;
    rest_.remove_prefix(used);
    return true;
  }
  bool Binary(std::string& value) {
    uint16_t length = 0;
    std::string_view bytes;
    if (!BigEndian(length) || !Take(length, bytes)) return false;
    value.assign(bytes);
    return true;
  }
  bool Text(std::string& value) { return Binary(value) && IsMqttText(value); }

 private:
  std::string_view rest_;
};

struct PropertyValue {
  uint32_t number = 0;
  std::string text;
};

bool ReadValue(Reader& reader, uint8_t id, PropertyValue& value) {
  // Zero would mean nothing for these, so the broker may not send it.
  bool zeroRefused =
      id == kReceiveMaximum || id == kMaximumPacketSize || id == kSubscriptionIdentifier;
  uint8_t byte = 0;
  uint16_t twoBytes = 0;
  std::string name;
  switch (KindOf(id)) {
    case ValueKind::kByte:  // every one-byte property is a 0 or 1
      if (!reader.BigEndian(byte) || byte > 1) return false;
      value.number = byte;
      return true;
    case ValueKind::kTwoBytes:
      if (!reader.BigEndian(twoBytes)) return false;
      value.number = twoBytes;
      break;
    case ValueKind::kFourBytes:
      if (!reader.BigEndian(value.number)) return false;
      break;
    case ValueKind::kVarInt:
      if (!reader.VarInt(value.number)) return false;
      break;
    case ValueKind::kText:
      return reader.Text(value.text);
    case ValueKind::kBinary:
      return reader.Binary(value.text);
    case ValueKind::kTextPair:
      return reader.Text(name) && reader.Text(value.text);
  }
  return !zeroRefused || value.number != 0;
}

// The property length, then properties of the `allowed` identifiers, each once but the two
// that may repeat. `keep(id, value)` is called for each, in order.
template <typename Keep>
bool ReadProperties(Reader& reader, uint64_t allowed, Keep keep) {
  uint32_t length = 0;
  std::string_view bytes;
  if (!reader.VarInt(length) || !reader.Take(length, bytes)) return false;
  Reader properties(bytes);
  uint64_t seen = 0;
  while (!properties.Empty()) {
    // An identifier is a variable byte integer, but none needs a second byte.
    uint8_t id = 0;
    if (!properties.BigEndian(id) || id >= 64 || (allowed >> id & 1) == 0) return false;
    bool repeats = id == kUserProperty || id == kSubscriptionIdentifier;
    if ((seen >> id & 1) != 0 && !repeats) return false;
    seen |= uint64_t{1} << id;
    PropertyValue value;
    if (!ReadValue(properties, id, value)) return false;
    keep(id, std::move(value));
  }
  return true;
}

auto KeepReasonString(std::optional<std::string>& reasonString) {
  return [&reasonString](uint8_t id, PropertyValue&& value) {
    if (id == kReasonString) reasonString = std::move(value.text);
  };
}

class Writer {
 public:
  const std::string& Bytes() const { return bytes_; }
  bool Ok() const { return ok_; }
  void Require(bool condition) { ok_ = ok_ && condition; }

  void Byte(uint8_t value) { bytes_.push_back(static_cast<char>(value)); }
  void TwoBytes(uint16_t value) {
    Byte(static_cast<uint8_t>(value >> 8));
    Byte(static_cast<uint8_t>(value));
  }
  void FourBytes(uint32_t value) {
    TwoBytes(static_cast<uint16_t>(value >> 16));
    TwoBytes(static_cast<uint16_t>(value));
  }
  void VarInt(uint32_t value) {
    do {
      uint8_t low = value & 0x7F;
      value >>= 7;
      Byte(value != 0 ? low | 0x80 : low);
    } while (value != 0);
  }
  void Raw(std::string_view bytes) { bytes_ += bytes; }
  void Binary(std::string_view bytes) {
    Require(bytes.size() <= 0xFFFF);
    TwoBytes(static_cast<uint16_t>(bytes.size()));
    Raw(bytes);
  }
  void Text(std::string_view text) {
    Require(IsMqttText(text));
    Binary(text);
  }
  void Properties(const Writer& properties) {
    Require(properties.Ok());
    VarInt(static_cast<uint32_t>(properties.Bytes().size()));
    Raw(properties.Bytes());
  }

  void Property(uint8_t id, std::optional<uint8_t> value) {
    if (!value) return;
    Byte(id);
    Byte(*value);
  }
  void Property(uint8_t id, std::optional<uint16_t> value) {
    if (!value) return;
    Byte(id);
    TwoBytes(*value);
  }
  void Property(uint8_t id, std::optional<uint32_t> value) {
    if (!value) return;
    Byte(id);
    FourBytes(*value);
  }
  void TextProperty(uint8_t id, const std::optional<std::string>& text) {
    if (!text) return;
    Byte(id);
    Text(*text);
  }
  void BinaryProperty(uint8_t id, const std::optional<std::string>& bytes) {
    if (!bytes) return;
    Byte(id);
    Binary(*bytes);
  }

 private:
  std::string bytes_;
  bool ok_ = true;
};

std::string Packet(uint8_t firstByte, const Writer& body) {
  if (!body.Ok() || body.Bytes().size() > kMaxMqttRemainingLength) return {};
  Writer packet;
  packet.Byte(firstByte);
  packet.VarInt(static_cast<uint32_t>(body.Bytes().size()));
  packet.Raw(body.Bytes());
  return packet.Bytes();
}

// In the checks below an absent optional compares as passing: nullopt != 0 and nullopt <= 1.

std::string Encode(const MqttConnect& connect) {
  Writer properties;
  properties.Property(kSessionExpiryInterval, connect.sessionExpiryInterval);
  properties.Property(kReceiveMaximum, connect.receiveMaximum);
  properties.Property(kMaximumPacketSize, connect.maximumPacketSize);
  Writer body;
  body.Require(connect.receiveMaximum != 0 && connect.maximumPacketSize != 0);
  body.Text("MQTT");
  body.Byte(5);
  body.Byte((connect.userName ? 0x80 : 0) | (connect.password ? 0x40 : 0) |
            (connect.cleanStart ? 0x02 : 0));
  body.TwoBytes(connect.keepAlive);
  body.Properties(properties);
  body.Text(connect.clientId);
  if (connect.userName) body.Text(*connect.userName);
  if (connect.password) body.Binary(*connect.password);
  return Packet(kConnect << 4, body);
}

std::string Encode(const MqttConnack& connack) {
  Writer properties;
  properties.Property(kSessionExpiryInterval, connack.sessionExpiryInterval);
  properties.Property(kReceiveMaximum, connack.receiveMaximum);
  properties.Property(kMaximumQos, connack.maximumQos);
  properties.Property(kMaximumPacketSize, connack.maximumPacketSize);
  properties.TextProperty(kAssignedClientId, connack.assignedClientId);
  properties.TextProperty(kReasonString, connack.reasonString);
  properties.Property(kServerKeepAlive, connack.serverKeepAlive);
  Writer body;
  body.Require(!(connack.sessionPresent && connack.reasonCode >= 0x80));
  body.Require(connack.receiveMaximum != 0 && connack.maximumPacketSize != 0 &&
               connack.maximumQos <= 1);
  body.Byte(connack.sessionPresent ? 1 : 0);
  body.Byte(connack.reasonCode);
  body.Properties(properties);
  return Packet(kConnack << 4, body);
}

std::string Encode(const MqttPublish& publish) {
  Writer properties;
  properties.Property(kPayloadFormatIndicator, publish.payloadFormatIndicator);
  properties.Property(kMessageExpiryInterval, publish.messageExpiryInterval);
  properties.TextProperty(kContentType, publish.contentType);
  properties.TextProperty(kResponseTopic, publish.responseTopic);
  properties.BinaryProperty(kCorrelationData, publish.correlationData);
  Writer body;
  body.Require(publish.qos <= 1 && (publish.qos == 1) == (publish.packetId != 0));
  body.Require(!(publish.dup && publish.qos == 0) && IsTopicName(publish.topic) &&
               publish.payloadFormatIndicator <= 1);
  body.Text(publish.topic);
  if (publish.qos == 1) body.TwoBytes(publish.packetId);
  body.Properties(properties);
  body.Raw(publish.payload);
  return Packet(static_cast<uint8_t>(kPublish << 4 | (publish.dup ? 0x08 : 0) |
                                     (publish.qos & 3) << 1 | (publish.retain ? 0x01 : 0)),
                body);
}

std::string Encode(const MqttPuback& puback) {
  Writer properties;
  properties.TextProperty(kReasonString, puback.reasonString);
  Writer body;
  body.Require(puback.packetId != 0);
  body.TwoBytes(puback.packetId);
  // The reason code and the properties may be left off while they say nothing.
  if (puback.reasonCode != 0 || puback.reasonString) body.Byte(puback.reasonCode);
  if (puback.reasonString) body.Properties(properties);
  return Packet(kPuback << 4, body);
}

std::string Encode(const MqttSubscribe& subscribe) {
  Writer body;
  body.Require(subscribe.packetId != 0 && !subscribe.subscriptions.empty());
  body.TwoBytes(subscribe.packetId);
  body.Properties(Writer());
  for (const MqttSubscription& subscription : subscribe.subscriptions) {
    body.Require(!subscription.topicFilter.empty() && subscription.maximumQos <= 1);
    body.Text(subscription.topicFilter);
    body.Byte(static_cast<uint8_t>(subscription.maximumQos | (subscription.noLocal ? 0x04 : 0)));
  }
  // SUBSCRIBE's fixed header carries 0010 in its flags.
  return Packet(kSubscribe << 4 | 0x02, body);
}

std::string Encode(const MqttSuback& suback) {
  Writer properties;
  properties.TextProperty(kReasonString, suback.reasonString);
  Writer body;
  body.Require(suback.packetId != 0 && !suback.reasonCodes.empty());
  body.TwoBytes(suback.packetId);
  body.Properties(properties);
  for (uint8_t code : suback.reasonCodes) body.Byte(code);
  return Packet(kSuback << 4, body);
}

std::string Encode(const MqttPingreq&) { return Packet(kPingreq << 4, Writer()); }
std::string Encode(const MqttPingresp&) { return Packet(kPingresp << 4, Writer()); }

std::string Encode(const MqttDisconnect& disconnect) {
  Writer properties;
  properties.Property(kSessionExpiryInterval, disconnect.sessionExpiryInterval);
  properties.TextProperty(kReasonString, disconnect.reasonString);
  Writer body;
  bool hasProperties = !properties.Bytes().empty();
  if (disconnect.reasonCode != 0 || hasProperties) body.Byte(disconnect.reasonCode);
  if (hasProperties) body.Properties(properties);
  return Packet(kDisconnect << 4, body);
}

// Fixed-header flags, checked before the body arrives.
bool FlagsFit(uint8_t firstByte) {
  uint8_t flags = firstByte & 0x0F;
  switch (firstByte >> 4) {
    case kConnack:
    case kPuback:
    case kSuback:
    case kPingresp:
    case kDisconnect:
      return flags == 0;
    case kPublish:
      // QoS 2 is never asked for, 3 does not exist, and a QoS 0 message is never a duplicate.
      return (flags & 0x06) == 0x02 || (flags & 0x0E) == 0;
    default:
      return false;
  }
}

std::optional<MqttConnack> DecodeConnack(Reader& reader) {
  MqttConnack connack;
  uint8_t acknowledgeFlags = 0;
  auto keep = [&connack](uint8_t id, PropertyValue&& value) {
    switch (id) {
      case kSessionExpiryInterval:
        connack.sessionExpiryInterval = value.number;
        break;
      case kReceiveMaximum:
        connack.receiveMaximum = static_cast<uint16_t>(value.number);
        break;
      case kMaximumQos:
        connack.maximumQos = static_cast<uint8_t>(value.number);
        break;
      case kMaximumPacketSize:
        connack.maximumPacketSize = value.number;
        break;
      case kAssignedClientId:
        connack.assignedClientId = std::move(value.text);
        break;
      case kReasonString:
        connack.reasonString = std::move(value.text);
        break;
      case kServerKeepAlive:
        connack.serverKeepAlive = static_cast<uint16_t>(value.number);
        break;
    }
  };
  if (!reader.BigEndian(acknowledgeFlags) || acknowledgeFlags > 1 ||
      !reader.BigEndian(connack.reasonCode) || !ReadProperties(reader, kConnackProperties, keep)) {
    return std::nullopt;
  }
  connack.sessionPresent = acknowledgeFlags == 1;
  if (connack.sessionPresent && connack.reasonCode >= 0x80) return std::nullopt;
  return connack;
}

std::optional<MqttPublish> DecodePublish(Reader& reader, uint8_t flags) {
  MqttPublish publish;
  publish.dup = (flags & 0x08) != 0;
  publish.qos = flags >> 1 & 3;
  publish.retain = (flags & 0x01) != 0;
  auto keep = [&publish](uint8_t id, PropertyValue&& value) {
    switch (id) {
      case kPayloadFormatIndicator:
        publish.payloadFormatIndicator = static_cast<uint8_t>(value.number);
        break;
      case kMessageExpiryInterval:
        publish.messageExpiryInterval = value.number;
        break;
      case kContentType:
        publish.contentType = std::move(value.text);
        break;
      case kResponseTopic:
        publish.responseTopic = std::move(value.text);
        break;
      case kCorrelationData:
        publish.correlationData = std::move(value.text);
        break;
    }
  };
  if (!reader.Text(publish.topic) || !IsTopicName(publish.topic)) return std::nullopt;
  if (publish.qos == 1 && (!reader.BigEndian(publish.packetId) || publish.packetId == 0)) {
    return std::nullopt;
  }
  if (!ReadProperties(reader, kPublishProperties, keep)) return std::nullopt;
  publish.payload = reader.TakeRest();
  return publish;
}

std::optional<MqttPuback> DecodePuback(Reader& reader) {
  MqttPuback puback;
  if (!reader.BigEndian(puback.packetId) || puback.packetId == 0) return std::nullopt;
  if (reader.Empty()) return puback;
  if (!reader.BigEndian(puback.reasonCode)) return std::nullopt;
  if (reader.Empty()) return puback;
  if (!ReadProperties(reader, kAcknowledgementProperties, KeepReasonString(puback.reasonString))) {
    return std::nullopt;
  }
  return puback;
}

std::optional<MqttSuback> DecodeSuback(Reader& reader) {
  MqttSuback suback;
  if (!reader.BigEndian(suback.packetId) || suback.packetId == 0 ||
      !ReadProperties(reader, kAcknowledgementProperties, KeepReasonString(suback.reasonString)) ||
      reader.Empty()) {
    return std::nullopt;
  }
  std::string_view codes = reader.TakeRest();
  suback.reasonCodes.assign(codes.begin(), codes.end());
  return suback;
}

std::optional<MqttDisconnect> DecodeDisconnect(Reader& reader) {
  MqttDisconnect disconnect;
  if (reader.Empty()) return disconnect;
  if (!reader.BigEndian(disconnect.reasonCode)) return std::nullopt;
  if (reader.Empty()) return disconnect;
  if (!ReadProperties(reader, kDisconnectProperties, KeepReasonString(disconnect.reasonString))) {
    return std::nullopt;
  }
  return disconnect;
}

// The body must be used up exactly: a remaining length that says more than the packet holds is
// as malformed as one that says less.
std::optional<MqttPacket> DecodeBody(uint8_t firstByte, std::string_view body) {
  Reader reader(body);
  std::optional<MqttPacket> packet;
  switch (firstByte >> 4) {
    case kConnack:
      packet = DecodeConnack(reader);
      break;
    case kPublish:
      packet = DecodePublish(reader, firstByte & 0x0F);
      break;
    case kPuback:
      packet = DecodePuback(reader);
      break;
    case kSuback:
      packet = DecodeSuback(reader);
      break;
    case kPingresp:
      packet = MqttPingresp{};
      break;
    case kDisconnect:
      packet = DecodeDisconnect(reader);
      break;
  }
  if (!packet || !reader.Empty()) return std::nullopt;
  return packet;
}

MqttDecoded Malformed() { return {MqttDecodeStatus::kMalformed, 0, {}}; }

}  // namespace

std::string EncodeMqttPacket(const MqttPacket& packet) {
  return std::visit([](const auto& each) { return Encode(each); }, packet);
}

MqttDecoded DecodeMqttPacket(std::string_view bytes, size_t maxPacketBytes) {
  if (bytes.empty()) return {};
  uint8_t firstByte = static_cast<uint8_t>(bytes[0]);
  if (!FlagsFit(firstByte)) return Malformed();
  uint32_t remaining = 0;
  size_t lengthBytes = 0;
  VarIntRead read = ReadVarInt(bytes.substr(1), remaining, lengthBytes);
  if (read == VarIntRead::kMalformed) return Malformed();
  if (read == VarIntRead::kNeedMore) return {};
  size_t size = 1 + lengthBytes + size_t{remaining};
  if (size > maxPacketBytes) return Malformed();
  if (bytes.size() < size) return {};
  std::optional<MqttPacket> packet =
      DecodeBody(firstByte, bytes.substr(1 + lengthBytes, remaining));
  if (!packet) return Malformed();
  return {MqttDecodeStatus::kPacket, size, std::move(*packet)};
}

}  // namespace parvox
