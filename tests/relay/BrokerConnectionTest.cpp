// The broker connection against a real mosquitto that the broker fixture starts on loopback
// (broker_fixture.sh): MQTT sessions in plain TCP and TLS, and each way a broker is refused.
#include <gtest/gtest.h>
// wincrypt.h builds on what winsock2.h brings in.
// clang-format off
#include <winsock2.h>
#include <wincrypt.h>
// clang-format on

#include <fstream>
#include <map>
#include <optional>

#include "network/MqttPacket.h"
#include "relay/BrokerConnection.h"
#include "support/BrokerSetup.h"

namespace parvox {
namespace {

// Only a guard against hanging the suite, not a speed check.
constexpr ULONGLONG kPatienceMs = 15000;

using test::BrokerSetup;

// Services the connection as the window thread does until `done` holds; false when it never did.
template <typename Done>
bool Drive(BrokerConnection& connection, Done done, ULONGLONG patienceMs = kPatienceMs) {
  ULONGLONG giveUp = GetTickCount64() + patienceMs;
  while (!done()) {
    if (GetTickCount64() > giveUp) return false;
    if (WaitForSingleObject(connection.Event(), 100) == WAIT_OBJECT_0) {
      connection.Service(GetTickCount64());
    }
  }
  return true;
}

// The broker's next packet; nothing when none came whole.
std::optional<MqttPacket> NextPacket(BrokerConnection& connection, std::string& buffer) {
  std::optional<MqttPacket> packet;
  Drive(connection, [&] {
    buffer += connection.TakeReceived();
    MqttDecoded decoded = DecodeMqttPacket(buffer);
    if (decoded.status == MqttDecodeStatus::kPacket) {
      packet = decoded.packet;
      buffer.erase(0, decoded.size);
    }
    return decoded.status != MqttDecodeStatus::kNeedMore ||
           connection.GetState() == BrokerConnection::State::kClosed;
  });
  return packet;
}

class BrokerConnectionTest : public ::testing::Test {
 protected:
  // The test CA is trusted by this user only while the tests run. Windows asks the user before
  // a program adds a root; Wine, where these tests run, does not. Wine writes a system store to
  // the registry only when asked to commit.
  static void SetUpTestSuite() {
    setup_ = test::ReadBrokerSetup();
    if (setup_.empty()) return;
    std::ifstream file(setup_["ca"], std::ios::binary);
    std::string pem((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    DWORD size = 0;
    ASSERT_TRUE(CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()),
                                     CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr));
    std::string der(size, '\0');
    ASSERT_TRUE(CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()),
                                     CRYPT_STRING_BASE64HEADER, reinterpret_cast<BYTE*>(der.data()),
                                     &size, nullptr, nullptr));
    trustedCa_ = CertCreateCertificateContext(X509_ASN_ENCODING,
                                              reinterpret_cast<const BYTE*>(der.data()), size);
    ASSERT_NE(trustedCa_, nullptr);
    HCERTSTORE root = OpenRootStore();
    EXPECT_TRUE(CertAddCertificateContextToStore(root, trustedCa_, CERT_STORE_ADD_REPLACE_EXISTING,
                                                 nullptr));
    CertControlStore(root, 0, CERT_STORE_CTRL_COMMIT, nullptr);
    CertCloseStore(root, 0);
  }

  static void TearDownTestSuite() {
    if (trustedCa_ == nullptr) return;
    HCERTSTORE root = OpenRootStore();
    if (PCCERT_CONTEXT added = CertFindCertificateInStore(
            root, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, trustedCa_, nullptr)) {
      CertDeleteCertificateFromStore(added);
      CertControlStore(root, 0, CERT_STORE_CTRL_COMMIT, nullptr);
    }
    CertCloseStore(root, 0);
    CertFreeCertificateContext(trustedCa_);
    trustedCa_ = nullptr;
  }

  static HCERTSTORE OpenRootStore() {
    return CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
  }

  void SetUp() override {
    if (setup_.empty()) GTEST_SKIP() << "needs the broker fixture: ctest -R broker_connection";
  }

  static uint16_t Port(const std::string& listener) {
    return static_cast<uint16_t>(std::stoi(setup_.at(listener)));
  }

  static inline BrokerSetup setup_;
  static inline PCCERT_CONTEXT trustedCa_ = nullptr;
};

TEST_F(BrokerConnectionTest, SessionsCarryMqttAndAFloodingBrokerIsHeldBack) {
  for (const char* listener : {"plain", "tls"}) {
    SCOPED_TRACE(listener);
    // localhost is ::1 as well, where the broker does not listen: the next address is tried.
    BrokerConnection connection(L"localhost", Port(listener), listener == std::string("tls"));
    EXPECT_EQ(connection.GetState(), BrokerConnection::State::kConnecting);

    // Written before the connection is open, sent once it is.
    MqttConnect connect;
    connect.clientId = "t1";
    ASSERT_TRUE(connection.Write(EncodeMqttPacket(connect)));
    std::string buffer;
    std::optional<MqttPacket> connack = NextPacket(connection, buffer);
    ASSERT_TRUE(connack) << std::string(connection.FailureReason().begin(),
                                        connection.FailureReason().end());
    ASSERT_TRUE(std::holds_alternative<MqttConnack>(*connack));
    EXPECT_EQ(std::get<MqttConnack>(*connack).reasonCode, 0);
    EXPECT_EQ(connection.GetState(), BrokerConnection::State::kOpen);

    ASSERT_TRUE(connection.Write(EncodeMqttPacket(MqttSubscribe{1, {{"parvox/flood", 0}}})));
    std::optional<MqttPacket> suback = NextPacket(connection, buffer);
    ASSERT_TRUE(suback && std::holds_alternative<MqttSuback>(*suback));

    // The broker sends back far more than may wait untaken.
    constexpr int kPublishes = 40;
    for (int i = 0; i < kPublishes; ++i) {
      MqttPublish publish;
      publish.topic = "parvox/flood";
      publish.payload = std::string(16 * 1024, static_cast<char>('a' + i % 26));
      ASSERT_TRUE(connection.Write(EncodeMqttPacket(publish)));
    }
    // Serviced but not taken, the connection stops reading and goes quiet...
    ULONGLONG giveUp = GetTickCount64() + kPatienceMs;
    while (WaitForSingleObject(connection.Event(), 1000) == WAIT_OBJECT_0 &&
           GetTickCount64() < giveUp) {
      connection.Service(GetTickCount64());
    }
    std::string held = connection.TakeReceived();
    EXPECT_GE(held.size(), BrokerConnection::kMaxUntakenBytes);
    EXPECT_LT(held.size(), BrokerConnection::kMaxUntakenBytes + 64 * 1024);
    // ...and taking what waits brings it back to the socket for the rest.
    EXPECT_EQ(WaitForSingleObject(connection.Event(), 0), WAIT_OBJECT_0);
    buffer += held;
    for (int i = 0; i < kPublishes; ++i) {
      std::optional<MqttPacket> packet = NextPacket(connection, buffer);
      ASSERT_TRUE(packet && std::holds_alternative<MqttPublish>(*packet)) << "publish " << i;
      EXPECT_EQ(std::get<MqttPublish>(*packet).payload,
                std::string(16 * 1024, static_cast<char>('a' + i % 26)));
    }
    EXPECT_EQ(connection.GetState(), BrokerConnection::State::kOpen);
    EXPECT_TRUE(connection.FailureReason().empty());
  }
}

TEST_F(BrokerConnectionTest, ARefusedBrokerEndsTheConnectionWithOneReason) {
  WSADATA winsock;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &winsock), 0);
  // Accepts connections and never says a word.
  SOCKET silent = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), length), 0);
  ASSERT_EQ(listen(silent, 4), 0);
  ASSERT_EQ(getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length), 0);
  setup_["silent"] = std::to_string(ntohs(address.sin_port));

  struct Case {
    const wchar_t* host;
    const char* listener;
    bool tls;
    const wchar_t* reason;
  } cases[] = {
      {L"localhost", "untrusted", true,
       L"the broker's certificate is not trusted by this computer"},
      {L"localhost", "elsewhere", true, L"the broker's certificate is for another name"},
      {L"localhost", "expired", true, L"the broker's certificate has expired"},
      {L"localhost", "old", true,
       L"the broker offers only TLS versions older than 1.2, which are not safe"},
      {L"localhost", "plain", true,
       L"the broker closed the connection during the TLS handshake (is this its TLS port?)"},
      {L"127.0.0.1", "closed", false, L"the broker refused the connection"},
      {L"broker.invalid", "plain", false, L"broker.invalid could not be found"},
      {L"localhost", "silent", true, L"no answer from the broker within 10 seconds"},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.listener);
    BrokerConnection connection(row.host, Port(row.listener), row.tls);
    bool opened = false;
    auto closed = [&] {
      opened = opened || connection.GetState() == BrokerConnection::State::kOpen;
      return connection.GetState() == BrokerConnection::State::kClosed;
    };
    if (row.listener == std::string("silent")) {
      // The handshake starts and gets no answer; then the clock passes the deadline.
      EXPECT_FALSE(Drive(connection, closed, 500));
      connection.Service(GetTickCount64() + BrokerConnection::kOpenTimeoutMs);
    }
    ASSERT_TRUE(Drive(connection, closed));
    EXPECT_FALSE(opened);
    EXPECT_EQ(connection.FailureReason(), row.reason);
    EXPECT_FALSE(connection.Write("after the end"));
    EXPECT_TRUE(connection.TakeReceived().empty());
  }
  closesocket(silent);
  WSACleanup();
}

}  // namespace
}  // namespace parvox
