// Both send paths for real: the NET command (a recording stand-in found beside the program) and
// mailslots (a receiver in this process).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "components/AnsiText.h"
#include "components/ListViewChecks.h"
#include "log/Log.h"
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
  void StartWithBook(bool internalSend) {
    // The test reads the slot itself, as the recipient would: Parvox must not receive here.
    WriteSettings(std::string(kBook) + "[Settings]\r\nReceive Messages=0\r\nInternal Send=" +
                  (internalSend ? "1" : "0") +
                  "\r\nNetwork Port=" + std::to_string(test::FreeUdpPort()) + "\r\n");
    Start();
  }
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
  StartWithBook(false);
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
  StartWithBook(false);
  Tick({0, 1, 2});
  SetMessage(L"hi \"there\"\r\nline two");
  ClickSend();
  EXPECT_EQ(window->StatusText(), L"Message sent to the 3 selected recipient(s).");
  std::vector<std::string> sent = recorder.WaitFor(3);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0], "SEND \"bob\" hi \"there\"\r\nline two");
  EXPECT_EQ(sent[1], "SEND /domain:WORKGROUP hi \"there\"\r\nline two");
  EXPECT_EQ(sent[2], "SEND \"notype\" hi \"there\"\r\nline two") << "as its icon shows it";
  EXPECT_TRUE(shownBoxes.empty());
  EXPECT_EQ(window->MessageText(), L"hi \"there\"\r\nline two") << "the message stays";
  EXPECT_TRUE(IsItemChecked(List(), 0)) << "the ticks stay";
}

TEST_F(SendTest, OneBlankIsAMessage) {
  test::TempFolder records;
  NetRecorder recorder(records);
  StartWithBook(false);
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
  StartWithBook(true);
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
  StartWithBook(true);
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
  StartWithBook(true);
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

}  // namespace
}  // namespace parvox
