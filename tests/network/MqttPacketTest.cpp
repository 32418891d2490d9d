// MQTT 5 packets: the exact bytes Parvox sends, round trips at the limits, what a broker may send
// in more than one form, everything the decoder must refuse, and a stream read a byte at a time.
#include <gtest/gtest.h>

#include <cstdint>

#include "network/MqttPacket.h"

namespace parvox {
namespace {

using Status = MqttDecodeStatus;

// Packets written out by hand, as spaced hex.
std::string Hex(std::string_view text) {
  std::string bytes;
  for (size_t i = 0; i + 1 < text.size(); i += 3) {
    bytes.push_back(static_cast<char>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
  }
  return bytes;
}

TEST(MqttPacket, ClientPacketBytes) {
  MqttConnect everything{"pc7", true, 60, "bob", std::string("p\0w", 3), 3600, 16, 131072};
  MqttPublish qos1{false, false, 1, "p/x", 0x0102, 0, 600, std::nullopt, "p/r", "\x01\x02", "hi"};
  MqttPublish retained{false, true, 0, "t", 0, std::nullopt, std::nullopt, {}, {}, {}, ""};
  struct Case {
    const char* name;
    MqttPacket packet;
    const char* bytes;
  } cases[] = {
      {"CONNECT with every field", everything,
       "10 27 00 04 4D 51 54 54 05 C2 00 3C 0D 11 00 00 0E 10 21 00 10 27 00 02 00 00"
       " 00 03 70 63 37 00 03 62 6F 62 00 03 70 00 77"},
      {"CONNECT resuming, empty client id", MqttConnect{"", false, 0},
       "10 0D 00 04 4D 51 54 54 05 00 00 00 00 00 00"},
      {"PUBLISH QoS 1 with properties", qos1,
       "32 1C 00 03 70 2F 78 01 02 12 01 00 02 00 00 02 58 08 00 03 70 2F 72 09 00 02 01 02 68 69"},
      {"PUBLISH QoS 0 retained, empty payload", retained, "31 04 00 01 74 00"},
      {"PUBACK success", MqttPuback{0x1234}, "40 02 12 34"},
      {"PUBACK refused", MqttPuback{0x1234, 0x80}, "40 03 12 34 80"},
      {"SUBSCRIBE two filters",
       MqttSubscribe{7, {{"parvox/pc7", 1, true}, {"parvox/all", 0, false}}},
       "82 1D 00 07 00 00 0A 70 61 72 76 6F 78 2F 70 63 37 05"
       " 00 0A 70 61 72 76 6F 78 2F 61 6C 6C 00"},
      {"PINGREQ", MqttPingreq{}, "C0 00"},
      {"DISCONNECT", MqttDisconnect{}, "E0 00"},
      {"DISCONNECT keeping the session a day", MqttDisconnect{0, 86400},
       "E0 07 00 05 11 00 01 51 80"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(EncodeMqttPacket(c.packet), Hex(c.bytes));
  }
}

TEST(MqttPacket, EncoderRefusesWhatCannotBeReadBack) {
  auto publish = [](uint8_t qos, uint16_t packetId, std::string topic) {
    return MqttPublish{false, false, qos, std::move(topic), packetId};
  };
  MqttPublish dupAtQos0 = publish(0, 0, "t");
  dupAtQos0.dup = true;
  MqttPublish badFormat = publish(0, 0, "t");
  badFormat.payloadFormatIndicator = 2;
  struct Case {
    const char* name;
    MqttPacket packet;
  } cases[] = {
      {"client id with U+0000", MqttConnect{std::string("a\0b", 3)}},
      {"user name not UTF-8", MqttConnect{"pc7", true, 0, "\xFF"}},
      {"password over 65,535 bytes", MqttConnect{"pc7", true, 0, "bob", std::string(65536, 'p')}},
      {"Receive Maximum 0", MqttConnect{"pc7", true, 0, {}, {}, {}, 0}},
      {"QoS 2", publish(2, 1, "t")},
      {"QoS 1 without packet id", publish(1, 0, "t")},
      {"QoS 0 with packet id", publish(0, 5, "t")},
      {"DUP at QoS 0", dupAtQos0},
      {"wildcard topic", publish(0, 0, "parvox/+")},
      {"empty topic", publish(0, 0, "")},
      {"topic over 65,535 bytes", publish(0, 0, std::string(65536, 't'))},
      {"Payload Format Indicator 2", badFormat},
      {"PUBACK without packet id", MqttPuback{0}},
      {"SUBSCRIBE to nothing", MqttSubscribe{1, {}}},
      {"SUBSCRIBE with QoS 2", MqttSubscribe{1, {MqttSubscription{"t", 2}}}},
      {"SUBSCRIBE to an empty filter", MqttSubscribe{1, {MqttSubscription{""}}}},
      {"SUBACK without reason codes", MqttSuback{1, {}, {}}},
      {"session present on a refusal", MqttConnack{true, 0x87}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(EncodeMqttPacket(c.packet), "");
  }
}

// What a broker sends, at the limits of every field.
std::vector<MqttPacket> BrokerPackets() {
  const std::string longest(65535, '\xFF');
  const std::string longestText(65535, 'a');
  return {
      MqttConnack{true, 0, 0xFFFFFFFF, 0xFFFF, 1, 0xFFFFFFFF, "auto-1", "", 0},
      MqttConnack{false, 0x87},
      MqttConnack{false, 0, {}, {}, 0, {}, longestText, {}, 0xFFFF},
      MqttPublish{false, false, 0, "t"},
      MqttPublish{true, true, 1, "parvox/pc7", 0xFFFF, 1, 0, "", "\xE2\x82\xAC", longest,
                  std::string("\0signed\0", 8)},
      MqttPublish{false, false, 1, longestText, 1, {}, {}, longestText},
      MqttPuback{1, 0x10, ""},
      MqttPuback{0xFFFF, 0x80},
      MqttSuback{0xFFFF, "denied", {0x01, 0x80}},
      MqttPingresp{},
      MqttDisconnect{0x8B, {}, "shutting down"},
      MqttDisconnect{},
  };
}

TEST(MqttPacket, BrokerPacketsRoundTrip) {
  for (const MqttPacket& packet : BrokerPackets()) {
    SCOPED_TRACE(testing::Message() << "packet type " << packet.index());
    std::string bytes = EncodeMqttPacket(packet);
    ASSERT_FALSE(bytes.empty());
    MqttDecoded decoded = DecodeMqttPacket(bytes, SIZE_MAX);
    ASSERT_EQ(decoded.status, Status::kPacket);
    EXPECT_EQ(decoded.size, bytes.size());
    EXPECT_EQ(decoded.packet, packet);
  }
}

TEST(MqttPacket, RemainingLengthBoundaries) {
  struct Case {
    uint32_t remaining;
    const char* header;
  } cases[] = {{127, "30 7F"},         {128, "30 80 01"},        {16383, "30 FF 7F"},
               {16384, "30 80 80 01"}, {2097151, "30 FF FF 7F"}, {2097152, "30 80 80 80 01"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.remaining);
    // Topic "t" and no properties take 4 bytes; the payload fills the rest.
    MqttPublish publish{false, false, 0, "t"};
    publish.payload.assign(c.remaining - 4, 'x');
    std::string bytes = EncodeMqttPacket(publish);
    std::string header = Hex(c.header);
    EXPECT_EQ(bytes.substr(0, header.size()), header);
    EXPECT_EQ(bytes.size(), header.size() + c.remaining);
    MqttDecoded decoded = DecodeMqttPacket(bytes, SIZE_MAX);
    ASSERT_EQ(decoded.status, Status::kPacket);
    EXPECT_EQ(std::get<MqttPublish>(decoded.packet), publish);
  }
}

// The fixed header alone decides: a packet too big is refused before its body is buffered.
TEST(MqttPacket, FixedHeaderAgainstTheLimit) {
  struct Case {
    const char* name;
    const char* bytes;
    size_t limit;
    Status expected;
  } cases[] = {
      {"largest remaining length, fits", "30 FF FF FF 7F", 268435460, Status::kNeedMore},
      {"largest remaining length, one byte over", "30 FF FF FF 7F", 268435459, Status::kMalformed},
      {"exactly 128 KiB", "30 FC FF 07", kDefaultMaxMqttPacketBytes, Status::kNeedMore},
      {"128 KiB and one byte", "30 FD FF 07", kDefaultMaxMqttPacketBytes, Status::kMalformed},
      {"length still arriving", "30 80 80 80", SIZE_MAX, Status::kNeedMore},
      {"a fifth length byte", "30 FF FF FF FF", SIZE_MAX, Status::kMalformed},
      {"0 in two bytes", "D0 80 00", SIZE_MAX, Status::kMalformed},
      {"127 in four bytes", "30 FF 80 80 00", SIZE_MAX, Status::kMalformed},
      {"first byte alone", "30", SIZE_MAX, Status::kNeedMore},
      {"nothing", "", SIZE_MAX, Status::kNeedMore},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecodeMqttPacket(Hex(c.bytes), c.limit).status, c.expected);
  }
}

TEST(MqttPacket, DecodesEveryFormABrokerMayChoose) {
  MqttConnack connack{false, 0, {}, 20, {}, {}, {}, "ok"};
  MqttPublish publish{false, false, 0, "t", 0, {}, 60};
  publish.payload = "hi";
  struct Case {
    const char* name;
    const char* bytes;
    MqttPacket expected;
  } cases[] = {
      {"CONNACK with properties it skips, of every kind",
       "20 2A 00 00 27 25 01 21 00 14 22 00 0A 26 00 01 6B 00 01 76 26 00 00 00 00"
       " 1A 00 01 72 1C 00 01 73 28 00 29 01 2A 00 1F 00 02 6F 6B",
       connack},
      {"PUBLISH with repeated subscription identifiers",
       "30 17 00 01 74 11 0B 80 01 26 00 01 6B 00 01 76 0B 05 02 00 00 00 3C 68 69", publish},
      {"PUBACK with reason code 0", "40 03 00 01 00", MqttPuback{1}},
      {"PUBACK with no properties", "40 04 00 01 00 00", MqttPuback{1}},
      {"DISCONNECT with reason code 0", "E0 01 00", MqttDisconnect{}},
      {"DISCONNECT to another server", "E0 0A 9C 08 1C 00 01 73 1F 00 01 78",
       MqttDisconnect{0x9C, {}, "x"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = Hex(c.bytes);
    MqttDecoded decoded = DecodeMqttPacket(bytes);
    ASSERT_EQ(decoded.status, Status::kPacket);
    EXPECT_EQ(decoded.size, bytes.size());
    EXPECT_EQ(decoded.packet, c.expected);
  }
}

TEST(MqttPacket, RefusesMalformedPackets) {
  const char* cases[][2] = {
      {"CONNECT from the broker", "10 0D 00 04 4D 51 54 54 05 00 00 00 00 00 00"},
      {"SUBSCRIBE from the broker", "82 07 00 01 00 00 01 74 01"},
      {"PINGREQ from the broker", "C0 00"},
      {"PUBREL, for QoS 2 only", "62 02 00 01"},
      {"AUTH, never asked for", "F0 00"},
      {"packet type 0", "00 00"},
      {"PINGRESP with a flag", "D1 00"},
      {"CONNACK with a flag", "28 03 00 00 00"},
      {"SUBACK with SUBSCRIBE's flags", "92 04 00 01 00 01"},
      {"PUBLISH QoS 2", "34 06 00 01 74 00 01 00"},
      {"PUBLISH QoS 3", "36 06 00 01 74 00 01 00"},
      {"DUP at QoS 0", "38 06 00 01 74 00 68 69"},
      {"QoS 1 packet id 0", "32 06 00 01 74 00 00 00"},
      {"empty topic", "30 03 00 00 00"},
      {"topic with +", "30 06 00 03 61 2F 2B 00"},
      {"topic #", "30 04 00 01 23 00"},
      {"overlong UTF-8 in topic", "30 05 00 02 C0 AF 00"},
      {"surrogate in topic", "30 06 00 03 ED A0 80 00"},
      {"U+0000 in topic", "30 04 00 01 00 00"},
      {"cut character in Reason String", "20 07 00 00 04 1F 00 01 E2"},
      {"string longer than the packet", "30 04 00 05 74 00"},
      {"property length past the end", "40 04 00 01 00 05"},
      {"property length in two bytes", "40 05 00 01 00 80 00"},
      {"property past the property length", "20 05 00 00 02 21 00"},
      {"Subscription Identifier 1 in two bytes", "30 07 00 01 74 03 0B 81 00"},
      {"Receive Maximum twice", "20 09 00 00 06 21 00 0A 21 00 0A"},
      {"Reason String twice", "40 0B 00 01 00 07 1F 00 01 61 1F 00 00"},
      {"Message Expiry Interval twice", "30 0E 00 01 74 0A 02 00 00 00 01 02 00 00 00 02"},
      {"Topic Alias", "30 07 00 01 74 03 23 00 01"},
      {"Session Expiry Interval from the broker's DISCONNECT", "E0 07 00 05 11 00 00 00 01"},
      {"Session Expiry Interval in PUBACK", "40 09 00 01 00 05 11 00 00 00 01"},
      {"Authentication Method in CONNACK", "20 06 00 00 03 15 00 00"},
      {"unknown property", "20 05 00 00 02 7F 00"},
      {"property identifier in two bytes", "20 06 00 00 03 80 01 00"},
      {"Receive Maximum 0", "20 06 00 00 03 21 00 00"},
      {"Maximum Packet Size 0", "20 08 00 00 05 27 00 00 00 00"},
      {"Maximum QoS 2", "20 05 00 00 02 24 02"},
      {"Payload Format Indicator 2", "30 06 00 01 74 02 01 02"},
      {"Subscription Identifier 0", "30 06 00 01 74 02 0B 00"},
      {"CONNACK acknowledge flags 2", "20 03 02 00 00"},
      {"session present on a refusal", "20 03 01 87 00"},
      {"CONNACK without property length", "20 02 00 00"},
      {"PUBACK packet id 0", "40 02 00 00"},
      {"SUBACK without reason codes", "90 03 00 01 00"},
      {"SUBACK packet id 0", "90 04 00 00 00 00"},
      {"byte after CONNACK", "20 04 00 00 00 00"},
      {"byte after PUBACK's properties", "40 05 00 01 00 00 00"},
      {"byte after DISCONNECT's properties", "E0 03 00 00 00"},
      {"PINGRESP with a body", "D0 01 00"},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(DecodeMqttPacket(Hex(bytes)).status, Status::kMalformed);
  }
  // A body cut anywhere, with the remaining length saying so, is missing something it needs.
  const char* whole[] = {
      "20 19 00 00 16 11 00 00 00 3C 21 00 0A 24 01 27 00 02 00 00 12 00 01 61 13 00 1E",
      "32 18 00 03 70 2F 78 00 07 10 01 00 02 00 00 02 58 08 00 01 72 09 00 02 01 02",
      "90 0B 00 07 07 1F 00 04 64 65 6E 79 80",
  };
  for (const char* packet : whole) {
    std::string bytes = Hex(packet);
    std::string body = bytes.substr(2);
    for (size_t length = 0; length < body.size(); ++length) {
      SCOPED_TRACE(testing::Message() << packet << " cut to " << length);
      std::string cut = bytes.substr(0, 1) + static_cast<char>(length) + body.substr(0, length);
      EXPECT_EQ(DecodeMqttPacket(cut).status, Status::kMalformed);
    }
    EXPECT_EQ(DecodeMqttPacket(bytes).status, Status::kPacket);
  }
}

TEST(MqttPacket, StreamReadByteByByte) {
  std::string stream;
  std::vector<MqttPacket> sent;
  for (const MqttPacket& packet : BrokerPackets()) {
    std::string bytes = EncodeMqttPacket(packet);
    if (bytes.size() > 1000) continue;  // byte by byte is quadratic
    stream += bytes;
    sent.push_back(packet);
  }
  std::string buffer;
  std::vector<MqttPacket> received;
  for (char byte : stream) {
    buffer.push_back(byte);
    MqttDecoded decoded = DecodeMqttPacket(buffer);
    ASSERT_NE(decoded.status, Status::kMalformed) << "after " << received.size() << " packets";
    if (decoded.status == Status::kPacket) {
      EXPECT_EQ(decoded.size, buffer.size());
      buffer.erase(0, decoded.size);
      received.push_back(std::move(decoded.packet));
    }
  }
  EXPECT_EQ(received, sent);
  EXPECT_TRUE(buffer.empty());
}

}  // namespace
}  // namespace parvox
