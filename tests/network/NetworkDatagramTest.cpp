// The network datagram: its exact bytes, round trips, and everything the decoder must refuse.
#include <gtest/gtest.h>

#include "network/NetworkDatagram.h"

namespace parvox {
namespace {

using namespace std::string_literals;

const std::string kMessageBytes =
    "PRVX\x01\x01\x01\x02\x03\x04\x05\x06\x07\x08"
    "alice\0bob\0hi \xE9\0"s;

TEST(NetworkDatagram, MessageAndReceiptBytes) {
  std::string bytes;
  ASSERT_EQ(EncodeNetworkMessage({0x0102030405060708, "alice", "bob", "hi \xE9"}, bytes),
            EncodeError::kNone);
  EXPECT_EQ(bytes, kMessageBytes);
  EXPECT_EQ(EncodeNetworkReceipt({0xFFFFFFFFFFFFFFFE, "PC1", "bob"}),
            "PRVX\x01\x02\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFE"
            "PC1\0bob\0"s);
}

TEST(NetworkDatagram, RoundTrips) {
  NetworkMessage longest{7, std::string(kMaxNetworkNameBytes, 'f'),
                         std::string(kMaxNetworkNameBytes, 't'),
                         std::string(kMaxNetworkTextBytes, '\xFF')};
  NetworkMessage empties{1, "", "*", ""};
  for (const NetworkMessage& message : {longest, empties}) {
    std::string bytes;
    ASSERT_EQ(EncodeNetworkMessage(message, bytes), EncodeError::kNone);
    EXPECT_LE(bytes.size(), kMaxNetworkDatagramBytes);
    DecodedDatagram decoded = DecodeNetworkDatagram(bytes);
    ASSERT_TRUE(std::holds_alternative<NetworkMessage>(decoded));
    EXPECT_EQ(std::get<NetworkMessage>(decoded), message);
  }
  NetworkReceipt receipt{42, "PC1", ""};
  EXPECT_EQ(std::get<NetworkReceipt>(DecodeNetworkDatagram(EncodeNetworkReceipt(receipt))),
            receipt);
}

TEST(NetworkDatagram, EncoderRefusesWhatCannotTravel) {
  struct Case {
    const char* name;
    NetworkMessage message;
    EncodeError expected;
  } cases[] = {
      {"text one byte over",
       {1, "a", "b", std::string(kMaxNetworkTextBytes + 1, 'x')},
       EncodeError::kTextTooLong},
      {"long To",
       {1, "a", std::string(kMaxNetworkNameBytes + 1, 'b'), "x"},
       EncodeError::kNameTooLong},
      {"long From",
       {1, std::string(kMaxNetworkNameBytes + 1, 'a'), "b", "x"},
       EncodeError::kNameTooLong},
      {"NUL in text", {1, "a", "b", "x\0y"s}, EncodeError::kZeroByte},
      {"NUL in To", {1, "a", "b\0c"s, "x"}, EncodeError::kZeroByte},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = "left over";
    EXPECT_EQ(EncodeNetworkMessage(c.message, bytes), c.expected);
    EXPECT_TRUE(bytes.empty());
  }
}

TEST(NetworkDatagram, DecoderRejectsDamage) {
  const std::string header = kMessageBytes.substr(0, kNetworkHeaderBytes);
  const std::string receiptHeader = "PRVX\x01\x02\0\0\0\0\0\0\0\x01"s;
  std::string oversized = header + "a\0b\0"s + std::string(kMaxNetworkDatagramBytes, 'x') + '\0';
  std::string longText = header + "a\0b\0"s + std::string(kMaxNetworkTextBytes + 1, 'x') + '\0';
  std::string longTo = header + "a\0"s + std::string(kMaxNetworkNameBytes + 1, 'b') + "\0x\0"s;
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"header only", header},
      {"wrong magic", "PRVY" + kMessageBytes.substr(4)},
      {"classic mailslot datagram", "alice\0bob\0hi\0\0"s},
      {"version 2", "PRVX\x02" + kMessageBytes.substr(5)},
      {"version 0", "PRVX\0"s + kMessageBytes.substr(5)},
      {"kind 0", "PRVX\x01\0"s + kMessageBytes.substr(6)},
      {"kind 3", "PRVX\x01\x03" + kMessageBytes.substr(6)},
      {"trailing byte", kMessageBytes + "x"},
      {"trailing NUL", kMessageBytes + '\0'},
      {"two fields", header + "alice\0bob\0"s},
      {"empty To", header + "alice\0\0hi\0"s},
      {"text over the limit", longText},
      {"To over the limit", longTo},
      {"over the datagram limit", oversized},
      {"64 KB of NULs", std::string(65536, '\0')},
      {"64 KB of NULs after a header", header + std::string(65536 - kNetworkHeaderBytes, '\0')},
      {"receipt with three fields", receiptHeader + "PC1\0bob\0x\0"s},
      {"receipt without computer", receiptHeader + "\0bob\0"s},
      {"receipt without user", receiptHeader + "PC1\0"s},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(DecodeNetworkDatagram(c.bytes)));
  }
  for (size_t length = 0; length < kMessageBytes.size(); ++length) {
    SCOPED_TRACE(testing::Message() << "cut to " << length << " bytes");
    EXPECT_TRUE(std::holds_alternative<std::monostate>(
        DecodeNetworkDatagram(kMessageBytes.substr(0, length))));
  }
}

}  // namespace
}  // namespace parvox
