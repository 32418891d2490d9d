// The relay for real: a main window whose `Relay Server` is the broker the fixture runs, and
// colleagues on other sites played by the test through MQTT sessions of its own.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "components/AnsiText.h"
#include "components/ListViewChecks.h"
#include "identity/MessageSigning.h"
#include "identity/ThisComputer.h"
#include "log/LogWindow.h"
#include "network/NetworkDatagram.h"
#include "receiving/MessagePopup.h"
#include "relay/BrokerConnection.h"
#include "relay/RelaySession.h"
#include "relay/RelaySetup.h"
#include "relay/RelayTopics.h"
#include "support/BrokerSetup.h"
#include "support/MainWindowFixture.h"

namespace parvox {
namespace {

constexpr ULONGLONG kPatienceMs = 20000;  // a guard against hanging, not a speed check

// Another Parvox user as the broker sees them: a session of the test's own, which takes every
// message at once and answers it as that user's Parvox would.
class BrokerPeer {
 public:
  BrokerPeer(uint16_t port, const std::string& name, uint32_t sessionExpirySeconds)
      : name_(name),
        computer_("PC" + name + std::to_string(GetTickCount64() % 100000)),
        topic_(*RelayTopic(RelayTopicKind::kUser, RelayName(FromUtf8(name)))),
        connection_(L"127.0.0.1", port, false),
        session_(Config(sessionExpirySeconds)) {
    connection_.Write(session_.Start(GetTickCount64()));
  }

  // Services this session and the window's until `done` holds; false when it never did.
  bool Until(const std::function<bool()>& done) {
    for (ULONGLONG giveUp = GetTickCount64() + kPatienceMs; !done();) {
      if (GetTickCount64() > giveUp) return false;
      test::PumpMessages();
      ULONGLONG now = GetTickCount64();
      connection_.Service(now);
      session_.Receive(connection_.TakeReceived(), now);
      for (RelayEvent& event : session_.TakeEvents()) {
        if (std::holds_alternative<RelaySubscribed>(event)) up_ = true;
        if (auto* published = std::get_if<RelayPublished>(&event)) outcomes_.push_back(*published);
        if (auto* message = std::get_if<RelayMessage>(&event)) {
          session_.Acknowledge(message->receipt, now);
          arrived_.push_back(std::move(*message));
        }
      }
      connection_.Write(session_.TakeOutput());
      HANDLE event = connection_.Event();
      MsgWaitForMultipleObjects(1, &event, FALSE, 10, QS_ALLINPUT);
    }
    return true;
  }
  bool Up() {
    return Until([&] { return up_; });
  }

  // A message from this user, signed, as their Parvox sends it.
  std::string Message(const std::string& to, const std::string& text, int64_t sentAgo) const {
    uint64_t now = SecondsSince1970();
    return SealDatagram(SignedMessage{NewId(),
                                      now - sentAgo,
                                      key_->PublicKey(),
                                      name_,
                                      to,
                                      computer_,
                                      text,
                                      {},
                                      now - sentAgo + 86400},
                        *key_);
  }
  // Published to `topic` until the broker has a subscriber for it; false when it never had.
  bool PublishUntilTaken(const std::string& topic, const std::string& payload) {
    for (ULONGLONG giveUp = GetTickCount64() + kPatienceMs; GetTickCount64() < giveUp;) {
      outcomes_.clear();
      session_.Publish({topic, payload, 600, topic_, {}}, GetTickCount64());
      if (!Until([&] { return !outcomes_.empty(); })) return false;
      if (outcomes_[0].outcome == RelayPublished::Outcome::kAccepted) return true;
      Sleep(100);
    }
    return false;
  }
  // The next datagram that came to this user's topic, and its response topic.
  std::optional<RelayMessage> Next() {
    if (!Until([&] { return !arrived_.empty(); })) return std::nullopt;
    RelayMessage message = std::move(arrived_.front());
    arrived_.erase(arrived_.begin());
    return message;
  }
  // Answers a message as this user's Parvox does once it has shown it.
  void Answer(const RelayMessage& message) {
    SignedReceipt receipt{std::get<SignedMessage>(DecodeNetworkDatagram(message.payload)).id,
                          SecondsSince1970(),
                          Sha256(message.payload),
                          key_->PublicKey(),
                          computer_,
                          name_,
                          {}};
    outcomes_.clear();
    session_.Publish({message.responseTopic.value_or(""), SealDatagram(receipt, *key_), 600,
                      std::nullopt, message.correlationData},
                     GetTickCount64());
    Until([&] { return !outcomes_.empty(); });
  }
  const std::string& Computer() const { return computer_; }

 private:
  RelaySessionConfig Config(uint32_t sessionExpirySeconds) const {
    RelaySessionConfig config;
    config.clientId = "test-" + name_;
    config.sessionExpirySeconds = sessionExpirySeconds;
    config.topicFilters = {topic_};
    return config;
  }
  static uint64_t NewId() {
    static uint64_t next = GetTickCount64() << 16;
    return ++next;
  }

  std::string name_, computer_, topic_;
  std::unique_ptr<SigningKey> key_ = SigningKey::Generate();
  BrokerConnection connection_;
  RelaySession session_;
  bool up_ = false;
  std::vector<RelayPublished> outcomes_;
  std::vector<RelayMessage> arrived_;
};

class RelayTest : public test::MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    broker = test::ReadBrokerSetup();
    if (broker.empty()) GTEST_SKIP() << "needs the broker fixture: ctest -R broker_connection";
    port = static_cast<uint16_t>(std::stoi(broker["plain"]));
    WriteSettings(
        "[Addresses]\r\nTotal=2\r\n"
        "Address[00001]=ADDRESS=carol|DESCRIPTION=Branch office|TYPE=0\r\n"
        "Address[00002]=ADDRESS=dave|DESCRIPTION=On leave|TYPE=0\r\n"
        "[Settings]\r\nInternal Send=1\r\nNetwork Port=" +
        std::to_string(test::FreeUdpPort()) +
        "\r\nRelay Server=mqtt://127.0.0.1:" + broker["plain"] + "\r\n");
    Start();
  }
  static std::wstring Text(HWND window) {
    wchar_t text[4096] = L"";
    GetWindowTextW(window, text, 4096);
    return text;
  }
  static HWND PopupWith(const std::wstring& text) {
    HWND popup = nullptr;
    while ((popup = FindWindowExW(nullptr, popup, L"ParvoxMessage", nullptr)) != nullptr) {
      if (Text(GetDlgItem(popup, MessagePopup::kTxtMessage)) == text) return popup;
    }
    return nullptr;
  }

  test::BrokerSetup broker;
  uint16_t port = 0;
};

TEST_F(RelayTest, MessagesAndReceiptsCrossTheBrokerAndWaitThereForWhoIsAway) {
  BrokerPeer carol(port, "carol", 0);
  ASSERT_TRUE(carol.Up());
  // Taken once the window's session has subscribed: a message its user's Parvox was away for.
  const std::string held = carol.Message(RelayName(GetCurrentUserName()), "Held for you", 7200);
  ASSERT_TRUE(carol.PublishUntilTaken(
      *RelayTopic(RelayTopicKind::kUser, RelayName(GetCurrentUserName())), held));
  std::optional<RelayMessage> receipt = carol.Next();
  ASSERT_TRUE(receipt.has_value()) << "answered through the relay";
  DecodedDatagram decoded = DecodeNetworkDatagram(receipt->payload);
  auto* signedReceipt = std::get_if<SignedReceipt>(&decoded);
  ASSERT_NE(signedReceipt, nullptr);
  EXPECT_EQ(signedReceipt->messageDigest, Sha256(held));
  HWND popup = PopupWith(L"Held for you");
  ASSERT_NE(popup, nullptr);
  EXPECT_NE(Text(GetDlgItem(popup, MessagePopup::kLabVerification))
                .find(L", held by the relay for 2 hours."),
            std::wstring::npos);

  // Dave's Parvox is away; the broker keeps his session.
  { ASSERT_TRUE(BrokerPeer(port, "dave", 3600).Up()); }
  SetItemChecked(List(), 0, true);
  SetItemChecked(List(), 1, true);
  SetMessage(L"The server restarts at 18:00");
  SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(kIdCmdSend, BN_CLICKED), 0);
  std::optional<RelayMessage> toCarol = carol.Next();
  ASSERT_TRUE(toCarol.has_value());
  carol.Answer(*toCarol);
  test::WaitForReceipts();
  std::wstring log = LogText();
  EXPECT_NE(log.find(L"Message delivered to carol (" + FromUtf8(carol.Computer()) + L")."),
            std::wstring::npos);
  EXPECT_NE(log.find(L"Message queued at the relay for dave until "), std::wstring::npos) << log;

  // Dave comes back: his Parvox shows the message and answers, and the window hears it late.
  BrokerPeer dave(port, "dave", 3600);
  std::optional<RelayMessage> toDave = dave.Next();
  ASSERT_TRUE(toDave.has_value());
  dave.Answer(*toDave);
  ASSERT_TRUE(dave.Until(
      [&] { return LogText().find(L"to dave came from dave (") != std::wstring::npos; }));
}

}  // namespace
}  // namespace parvox
