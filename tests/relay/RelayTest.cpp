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
#include "sending/NetworkDelivery.h"
#include "support/BrokerPeer.h"
#include "support/BrokerSetup.h"
#include "support/MainWindowFixture.h"

namespace parvox {
namespace {

using test::BrokerPeer;

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

// A script's send ends before the away user is back: it leaves what it awaits for the window.
TEST_F(RelayTest, AScriptsLateReceiptReachesTheWindow) {
  { ASSERT_TRUE(BrokerPeer(port, "erin", 3600).Up()); }
  {
    NetworkSend send(nullptr, test::FreeUdpPort(), {}, GetCurrentUserName(), L"Back at 9?", 3000);
    std::unique_ptr<RelayClient> relay = OpenSendRelay(*ConfiguredRelayServer(), {});
    ASSERT_NE(relay, nullptr);
    send.UseRelay(relay.get(), false);
    send.AddRecipient(L"erin", false);
    BrokerPeer(port, "probe", 0).Until([&] {
      return send.Tracker().Lines()[0].text.rfind(L"Message queued at the relay for erin", 0) == 0;
    });
    send.AwaitLateReceipts();
  }
  BrokerPeer erin(port, "erin", 3600);
  std::optional<RelayMessage> message = erin.Next();
  ASSERT_TRUE(message.has_value());
  erin.Answer(*message);
  EXPECT_TRUE(erin.Until(
      [&] { return LogText().find(L"to erin came from erin (") != std::wstring::npos; }));
}

}  // namespace
}  // namespace parvox
