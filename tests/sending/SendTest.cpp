// Both send paths for real: the NET command (a recording stand-in found beside the program) and
// mailslots (a receiver in this process).
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "components/AnsiText.h"
#include "components/ListViewChecks.h"
#include "identity/KnownSenderStore.h"
#include "identity/MessageSigning.h"
#include "identity/ThisComputer.h"
#include "log/Log.h"
#include "log/LogWindow.h"
#include "network/NetworkDatagram.h"
#include "network/UdpEndpoint.h"
#include "sending/MailslotSender.h"
#include "sending/SendCommand.h"
#include "settings/AppState.h"
#include "support/MainWindowFixture.h"
#include "support/SendRecorders.h"

namespace parvox {
namespace {

using test::MailslotReceiver;
using test::NetRecorder;
using test::PumpMessages;

const char kBook[] =
    "[Addresses]\r\nTotal=5\r\n"
    "Address[00001]=ADDRESS=bob|DESCRIPTION=Bob|TYPE=0\r\n"
    "Address[00002]=ADDRESS=WORKGROUP|DESCRIPTION=all|TYPE=1\r\n"
    "Address[00003]=ADDRESS=notype|DESCRIPTION=x\r\n"
    "Address[00004]=ADDRESS=skipped|DESCRIPTION=y|TYPE=0\r\n"
    "Address[00005]=ADDRESS=.|DESCRIPTION=this machine|TYPE=0\r\n";

class SendTest : public test::MainWindowTest {
 protected:
  void Tick(std::initializer_list<int> rows) {
    for (int row : rows) SetItemChecked(List(), row, true);
  }
  void ClickSend() {
    SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(kIdCmdSend, BN_CLICKED), 0);
    test::WaitForReceipts();
  }
};

TEST_F(SendTest, ChecksComeFirstInOrder) {
  Start();
  ClickSend();
  EXPECT_EQ(window->StatusText(), L"You need to have at least one entry in your address book.");
  Close();
  StartWithBook(kBook, false);
  SetMessage(L"");
  ClickSend();
  EXPECT_EQ(window->StatusText(),
            L"You need to select at least one recipient to send your message to.");
  Tick({0});
  SetMessage(L"");
  ClickSend();
  EXPECT_EQ(window->StatusText(), L"You need to enter a message before you can send..");
}

TEST_F(SendTest, NetPathStartsOneCommandPerTickedRowInOrder) {
  test::TempFolder records;
  NetRecorder recorder(records);
  StartWithBook(kBook, false);
  Tick({0, 1, 2});
  SetMessage(L"hi \"there\"\r\nline two");
  ClickSend();
  EXPECT_EQ(window->StatusText(), L"Message sent to the 3 selected recipient(s).");
  std::vector<std::string> sent = recorder.WaitFor(3);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0], "SEND \"bob\" hi \"there\"\r\nline two");
  EXPECT_EQ(sent[1], "SEND /domain:WORKGROUP hi \"there\"\r\nline two");
  EXPECT_EQ(sent[2], "SEND /domain:notype hi \"there\"\r\nline two") << "as its icon shows it";
  EXPECT_TRUE(shownBoxes.empty());
  EXPECT_EQ(window->MessageText(), L"hi \"there\"\r\nline two") << "the message stays";
  EXPECT_TRUE(IsItemChecked(List(), 0)) << "the ticks stay";
}

TEST_F(SendTest, OneBlankIsAMessage) {
  test::TempFolder records;
  NetRecorder recorder(records);
  StartWithBook(kBook, false);
  Tick({3});
  SetMessage(L" ");
  ClickSend();
  std::vector<std::string> sent = recorder.WaitFor(1);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0], "SEND \"skipped\"  ");
}

TEST_F(SendTest, BuiltInPathDeliversTheExactDatagram) {
  MailslotReceiver receiver;
  ASSERT_TRUE(receiver.Valid());
  StartWithBook(kBook, true);
  Tick({4});
  SetMessage(L"hi");
  ClickSend();
  std::string user = ToAnsi(GetCurrentUserName());
  ASSERT_FALSE(user.empty());
  EXPECT_EQ(receiver.Read(), user + std::string("\0.\0hi\0\0", 7));
  EXPECT_EQ(LogText(), L"Message successfully sent to ..\r\n");
  EXPECT_FALSE(IsWindowVisible(LogWindowHandle())) << "success leaves the log hidden";
  EXPECT_EQ(window->StatusText(), L"Message sent to the 1 selected recipient(s).");
}

TEST_F(SendTest, FailedRecipientIsLoggedAndTheLogComesUp) {
  MailslotReceiver receiver;
  StartWithBook(kBook, true);
  Tick({0, 4});  // "bob" cannot be reached here, "." can
  SetMessage(L"hi");
  ClickSend();
  // The reason is the platform's: Wine reports a computer name it cannot resolve as a path
  // that was not found.
  EXPECT_EQ(LogText(),
            L"Error sending message to bob. They may not be online. Path not found (error 3).\r\n"
            L"Message successfully sent to ..\r\n");
  EXPECT_TRUE(IsWindowVisible(LogWindowHandle()));
  EXPECT_EQ(window->StatusText(), L"Message sent to the 2 selected recipient(s).");
}

TEST_F(SendTest, BroadcastOverItsLimitIsRefusedWithTheByteCount) {
  StartWithBook(kBook, true);
  Tick({1});  // WORKGROUP, a domain
  const size_t user = ToAnsi(GetCurrentUserName()).size();
  const size_t overhead = user + 1 + std::string("WORKGROUP").size() + 1 + 2;
  SetMessage(std::wstring(424 - overhead, L'x'));
  ClickSend();
  SetMessage(std::wstring(425 - overhead, L'x'));
  ClickSend();
  EXPECT_EQ(
      LogText(),
      L"Error sending message to WORKGROUP. They may not be online. Path not found (error 3).\r\n"
      L"Error sending message to WORKGROUP. The message is too long for a broadcast to a domain "
      L"(425 bytes; "
      L"at most 424).\r\n");
}

TEST(Mailslot, WriterResultCodes) {
  MailslotReceiver receiver;
  ASSERT_TRUE(receiver.Valid());
  MailslotMessage empty{L"me", L".", L""};
  EXPECT_EQ(SendMailslotMessage(L"messngr", empty), kMailslotNoText);

  MailslotMessage defaults{L"", L"", L"x"};
  SendMailslotMessage(L"messngr", defaults);
  EXPECT_EQ(defaults.To, L"*") << "an empty recipient addresses the whole domain";
  EXPECT_EQ(defaults.From, GetCurrentUserName());

  MailslotMessage unreachable{L"me", L"nosuchhost-parvox", L"x"};
  EXPECT_EQ(SendMailslotMessage(L"messngr", unreachable), kMailslotFailed);

  // Exactly 65,537 bytes fit; one more is refused rather than cut.
  std::wstring text(65537 - 4 - 2 - 1, L'x');
  MailslotMessage full{L"me", L".", text};
  EXPECT_EQ(SendMailslotMessage(L"messngr", full), kMailslotSent);
  EXPECT_EQ(receiver.Read().size(), 65537u);
  MailslotMessage over{L"me", L".", text + L"y"};
  EXPECT_EQ(SendMailslotMessage(L"messngr", over), kMailslotFailed);

  MailslotMessage foreign{L"me", L".", L"\u4e2d\u00e9"};
  EXPECT_EQ(SendMailslotMessage(L"messngr", foreign), kMailslotSent);
  EXPECT_EQ(receiver.Read(), std::string("me\0.\0?\xE9\0\0", 9))
      << "no ANSI code: the default character";
}

// Stands in for a recipient's Parvox on loopback: answers the n-th message it receives as the
// n-th entry of `answers` says, from a thread, while the program waits for its receipts.
class ReceiptPeer {
 public:
  using Answer = std::function<std::string(const SignedMessage&, const std::string& bytes)>;
  explicit ReceiptPeer(std::vector<Answer> answers) : answers_(std::move(answers)) {
    endpoint_.Open(0);
    thread_ = std::thread([this] {
      for (size_t answered = 0; answered < answers_.size();) {
        if (WaitForSingleObject(endpoint_.Event(), 10000) != WAIT_OBJECT_0) return;
        while (std::optional<ReceivedDatagram> datagram = endpoint_.Receive()) {
          DecodedDatagram decoded = DecodeNetworkDatagram(datagram->bytes);
          auto* message = std::get_if<SignedMessage>(&decoded);
          if (message == nullptr || answered == answers_.size()) continue;
          endpoint_.SendTo(datagram->source, answers_[answered++](*message, datagram->bytes));
        }
      }
    });
  }
  ~ReceiptPeer() { thread_.join(); }
  uint16_t Port() const { return endpoint_.Port(); }

 private:
  UdpEndpoint endpoint_;
  std::vector<Answer> answers_;
  std::thread thread_;
};

// A key known for one colleague cannot answer for another: a name's receipt names them.
TEST_F(SendTest, AReceiptForANameMustNameThem) {
  std::unique_ptr<SigningKey> neighbour = SigningKey::Generate();
  const std::string computer = "PCN" + std::to_string(GetTickCount64());
  for (const wchar_t* user : {L"dora", L"eve"}) {
    ASSERT_TRUE(ReplaceSenderKey(SenderName(FromAnsi(computer), user), neighbour->PublicKey()));
  }
  auto signedAs = [&](const char* user) {
    return [&, user](const SignedMessage& message, const std::string& bytes) {
      return SealDatagram(SignedReceipt{message.id,
                                        SecondsSince1970(),
                                        Sha256(bytes),
                                        neighbour->PublicKey(),
                                        computer,
                                        user,
                                        {}},
                          *neighbour);
    };
  };
  ReceiptPeer peer({signedAs("dora"), signedAs("eve")});
  // A name, so that the message reaches the peer by the subnet's broadcast.
  const std::string to = "Dora:" + std::to_string(peer.Port());
  StartWithBook("[Addresses]\r\nTotal=1\r\nAddress[00001]=ADDRESS=" + to + "|TYPE=0\r\n", true);
  SetItemChecked(List(), 0, true);
  for (const wchar_t* text : {L"first", L"second"}) {
    SetMessage(text);
    ClickSend();
  }
  std::wstring log = LogText();
  EXPECT_EQ(log.find(L"Message delivered to dora (" + FromAnsi(computer) + L")."), 0u) << log;
  EXPECT_EQ(log.find(L"eve ("), std::wstring::npos) << log;
  EXPECT_EQ(log.find(L"delivered", 10), std::wstring::npos) << log;
}

TEST_F(SendTest, OnlyASignedReceiptForThisMessageByTheKnownKeyIsDelivered) {
  std::unique_ptr<SigningKey> dora = SigningKey::Generate(), impostor = SigningKey::Generate();
  const std::string computer = "PCQ" + std::to_string(GetTickCount64());
  const std::wstring sender = SenderName(FromAnsi(computer), L"dora");
  auto signedBy = [&](const SigningKey& key, bool sameMessage) {
    return [&key, &computer, sameMessage](const SignedMessage& message, const std::string& bytes) {
      std::string receipt = EncodeSignedReceipt({message.id,
                                                 SecondsSince1970(),
                                                 Sha256(sameMessage ? bytes : "x"),
                                                 key.PublicKey(),
                                                 computer,
                                                 "dora",
                                                 {}});
      return receipt + key.Sign(receipt);
    };
  };
  ReceiptPeer peer({
      // Unsigned: anyone who saw the id in the clear could write it.
      [&](const SignedMessage& message, const std::string&) {
        return EncodeNetworkReceipt({message.id, computer, "dora"});
      },
      signedBy(*dora, true),      // her key is not known yet: reached, nothing proven
      signedBy(*dora, false),     // answers another message
      signedBy(*impostor, true),  // the right message, the wrong key
      signedBy(*dora, true),      // by now her key is known
  });
  const std::string to = "127.0.0.1:" + std::to_string(peer.Port());
  std::string book = "[Addresses]\r\nTotal=5\r\n";
  for (int i = 1; i <= 5; ++i)
    book += "Address[0000" + std::to_string(i) + "]=ADDRESS=" + to + "|DESCRIPTION=d|TYPE=0\r\n";
  StartWithBook(book, true);
  // One send per recipient, so that the answers come in the order given.
  for (int row = 0; row < 5; ++row) {
    for (int other = 0; other < 5; ++other) SetItemChecked(List(), other, other == row);
    SetMessage(L"hello " + std::to_wstring(row));
    ClickSend();
    if (row == 1) {
      EXPECT_FALSE(KnownSenderKeys(sender).Find(sender)) << "a receipt never teaches a key";
      ASSERT_TRUE(ReplaceSenderKey(sender, dora->PublicKey()));  // as a message of hers would
    }
  }
  std::vector<std::wstring> lines;
  std::wstring log = LogText();
  for (size_t at = 0, end; (end = log.find(L"\r\n", at)) != std::wstring::npos; at = end + 2)
    lines.push_back(log.substr(at, end - at));
  ASSERT_EQ(lines.size(), 5u) << log;
  const std::wstring dora_ = L"dora (" + FromAnsi(computer) + L")";
  EXPECT_EQ(lines[0].find(L"delivered"), std::wstring::npos) << lines[0];
  EXPECT_EQ(lines[1], L"Message to " + FromAnsi(to) + L" not verified: " + dora_ +
                          L" answered with a key not known here yet (" +
                          KeyFingerprint(dora->PublicKey()) +
                          L"), so the receipt does not prove it was them.");
  EXPECT_EQ(lines[2].find(L"delivered"), std::wstring::npos) << lines[2];
  EXPECT_EQ(lines[3].rfind(L"Message to " + FromAnsi(to) + L" not confirmed. The receipt from " +
                               dora_ + L" came from a different key than before",
                           0),
            0u)
      << lines[3];
  EXPECT_EQ(lines[4], L"Message delivered to " + dora_ + L".");
  EXPECT_EQ(KnownSenderKeys(sender).Find(sender)->key, dora->PublicKey());
}

}  // namespace
}  // namespace parvox
