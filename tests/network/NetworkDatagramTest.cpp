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

const std::string kKey = "\x04" + std::string(64, 'K');
const std::string kSignature(kSignatureBytes, 'S');
const SignedMessage kSigned{0x0102030405060708, 0x65000000, kKey, "\xC3\xA5l", "bob", "PCA",
                            "\xE2\x82\xAC",     kSignature};
const SignedReceipt kSignedReceipt{9,     0x65000001, std::string(kDigestBytes, 'D'), kKey, "PCB",
                                   "bob", kSignature};

TEST(SignedDatagram, BytesAndRoundTrips) {
  std::string bytes;
  ASSERT_EQ(EncodeSignedMessage(kSigned, bytes), EncodeError::kNone);
  EXPECT_EQ(bytes, "PRVX\x02\x01\x01\x02\x03\x04\x05\x06\x07\x08\0\0\0\0\x65\0\0\0"s + kKey +
                       "\xC3\xA5l\0bob\0PCA\0\xE2\x82\xAC\0"s + kSignature);
  EXPECT_EQ(SignedPart(kSigned), bytes.substr(0, bytes.size() - kSignatureBytes));
  EXPECT_EQ(std::get<SignedMessage>(DecodeNetworkDatagram(bytes)), kSigned);

  // With an expiry: version 3, the expiry and the options before the key.
  SignedMessage expiring = kSigned;
  expiring.expiresAt = 0x65000000 + kMaxMessageLifetimeSeconds;
  expiring.options = 0x80000001;
  ASSERT_EQ(EncodeSignedMessage(expiring, bytes), EncodeError::kNone);
  EXPECT_EQ(bytes,
            "PRVX\x03\x01\x01\x02\x03\x04\x05\x06\x07\x08\0\0\0\0\x65\0\0\0"
            "\0\0\0\0\x65\x09\x3a\x80\x80\0\0\x01"s +
                kKey + "\xC3\xA5l\0bob\0PCA\0\xE2\x82\xAC\0"s + kSignature);
  EXPECT_EQ(std::get<SignedMessage>(DecodeNetworkDatagram(bytes)), expiring);

  SignedMessage longest{~0ull,
                        ~0ull - kMaxMessageLifetimeSeconds,
                        kKey,
                        std::string(kMaxNetworkNameBytes, 'f'),
                        std::string(kMaxNetworkNameBytes, 't'),
                        std::string(kMaxNetworkNameBytes, 'c'),
                        std::string(kMaxNetworkTextBytes, 'x'),
                        kSignature,
                        ~0ull,
                        ~0u};
  ASSERT_EQ(EncodeSignedMessage(longest, bytes), EncodeError::kNone);
  EXPECT_EQ(bytes.size(), kMaxSignedDatagramBytes);
  EXPECT_LE(bytes.size(), 65507u);
  EXPECT_EQ(std::get<SignedMessage>(DecodeNetworkDatagram(bytes)), longest);

  std::string receipt = EncodeSignedReceipt(kSignedReceipt);
  EXPECT_EQ(receipt, "PRVX\x02\x02\0\0\0\0\0\0\0\x09\0\0\0\0\x65\0\0\x01"s + std::string(32, 'D') +
                         kKey + "PCB\0bob\0"s + kSignature);
  EXPECT_EQ(std::get<SignedReceipt>(DecodeNetworkDatagram(receipt)), kSignedReceipt);
  // An acknowledgement differs from a receipt in its kind byte alone, which its signature covers.
  SignedReceipt acknowledgement = kSignedReceipt;
  acknowledgement.kind = NetworkKind::kAcknowledgement;
  EXPECT_EQ(EncodeSignedReceipt(acknowledgement), "PRVX\x02\x03" + receipt.substr(6));
  EXPECT_EQ(std::get<SignedReceipt>(DecodeNetworkDatagram(EncodeSignedReceipt(acknowledgement))),
            acknowledgement);
  EXPECT_NE(SignedPart(acknowledgement), SignedPart(kSignedReceipt));
  // A long name is cut at a whole character, so the receipt still decodes.
  SignedReceipt longName = kSignedReceipt;
  longName.user = "a" + std::string(1200, '\xC3');
  for (size_t i = 2; i < longName.user.size(); i += 2) longName.user[i] = '\xA9';
  auto decoded = DecodeNetworkDatagram(EncodeSignedReceipt(longName));
  ASSERT_TRUE(std::holds_alternative<SignedReceipt>(decoded));
  EXPECT_EQ(std::get<SignedReceipt>(decoded).user.size(), kMaxNetworkNameBytes - 1);
}

TEST(SignedDatagram, StrictAboutEveryField) {
  std::string good;
  EncodeSignedMessage(kSigned, good);
  std::string goodReceipt = EncodeSignedReceipt(kSignedReceipt);
  auto with = [](SignedMessage message, std::string SignedMessage::*field, std::string value) {
    message.*field = std::move(value);
    std::string bytes = SignedPart(message);
    return bytes.empty() ? bytes : bytes + kSignature;
  };
  // Built by hand, since the encoder refuses them.
  // A version-3 message expiring at `expiresAt`, built by hand.
  auto expiring = [&](uint64_t expiresAt) {
    std::string bytes = "PRVX\x03" + good.substr(5, kNetworkHeaderBytes + 8 - 5);
    for (int shift = 56; shift >= 0; shift -= 8) bytes.push_back(char(expiresAt >> shift));
    return bytes + std::string(4, '\0') + good.substr(kNetworkHeaderBytes + 8);
  };
  auto raw = [&](std::string_view fields) {
    return good.substr(0, kSignedHeaderBytes) + std::string(fields) + kSignature;
  };
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"trailing byte", good + "x"},
      {"signature one byte short", good.substr(0, good.size() - 1)},
      {"key not an uncompressed point",
       "PRVX\x02\x01" + good.substr(6, 16) + "\x02" + good.substr(kNetworkHeaderBytes + 9)},
      {"empty To", with(kSigned, &SignedMessage::to, "")},
      {"empty computer", with(kSigned, &SignedMessage::computer, "")},
      {"five fields", raw("a\0b\0c\0d\0e\0"s)},
      {"three fields", raw("a\0b\0c\0"s)},
      {"overlong UTF-8 in From", raw("\xC0\xAF\0b\0c\0d\0"s)},
      {"surrogate in Text", raw("a\0b\0c\0\xED\xA0\x80\0"s)},
      {"cut character in computer", raw("a\0b\0\xE2\x82\0d\0"s)},
      {"above U+10FFFF in To", raw("a\0\xF4\x90\x80\x80\0c\0d\0"s)},
      {"computer over the limit",
       raw("a\0b\0"s + std::string(kMaxNetworkNameBytes + 1, 'c') + "\0d\0"s)},
      {"receipt without user", goodReceipt.substr(0, goodReceipt.size() - 68) + kSignature},
      {"receipt without computer",
       goodReceipt.substr(0, kSignedHeaderBytes + kDigestBytes) + "\0bob\0"s + kSignature},
      {"version 4", "PRVX\x04" + good.substr(5)},
      {"version 2 read as 3", "PRVX\x03" + good.substr(5)},
      {"kind 4", "PRVX\x02\x04" + goodReceipt.substr(6)},
      {"version 3 acknowledgement", "PRVX\x03\x03" + goodReceipt.substr(6, 14) +
                                        std::string(12, '\x01') + goodReceipt.substr(22)},
      {"version 3 receipt",
       "PRVX\x03" + goodReceipt.substr(5, 16) + std::string(12, '\x01') + goodReceipt.substr(22)},
      {"expires when sent", expiring(0x65000000)},
      {"expires before it was sent", expiring(0x64FFFFFF)},
      {"lives longer than allowed", expiring(0x65000000 + kMaxMessageLifetimeSeconds + 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(DecodeNetworkDatagram(c.bytes)));
  }
  for (const std::string& whole : {good, goodReceipt}) {
    for (size_t length = 0; length < whole.size(); ++length) {
      SCOPED_TRACE(testing::Message() << "cut to " << length << " bytes");
      EXPECT_TRUE(
          std::holds_alternative<std::monostate>(DecodeNetworkDatagram(whole.substr(0, length))));
    }
  }
  std::string bytes;
  SignedMessage notUtf8 = kSigned;
  notUtf8.text = "\xFF";
  EXPECT_EQ(EncodeSignedMessage(notUtf8, bytes), EncodeError::kNotUtf8);
  SignedMessage optionsWithoutExpiry = kSigned;
  optionsWithoutExpiry.options = 1;
  EXPECT_EQ(EncodeSignedMessage(optionsWithoutExpiry, bytes), EncodeError::kBadLifetime);
}

}  // namespace
}  // namespace parvox
