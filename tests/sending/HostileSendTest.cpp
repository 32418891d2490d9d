// Messages and addresses the send paths were not made for: very long, outside the ANSI code page,
// or holding quotes and backslashes. Each is sent for real through the NET stand-in and the
// messenger mailslot, and the outcome the user is told must match what the recipient got.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "addressbook/AddressList.h"
#include "components/AnsiText.h"
#include "components/ListViewChecks.h"
#include "identity/ThisComputer.h"
#include "log/Log.h"
#include "log/LogWindow.h"
#include "sending/SendText.h"
#include "settings/AppState.h"
#include "support/MainWindowFixture.h"
#include "support/SendRecorders.h"

namespace parvox {
namespace {

const char kBook[] =
    "[Addresses]\r\nTotal=4\r\n"
    "Address[00001]=ADDRESS=.|DESCRIPTION=this machine|TYPE=0\r\n"
    "Address[00002]=ADDRESS=say \"hi\"|DESCRIPTION=quotes|TYPE=0\r\n"
    "Address[00003]=ADDRESS=dom\\ain\\|DESCRIPTION=backslashes|TYPE=1\r\n"
    "Address[00004]=ADDRESS=.\\mailslot\\messngr|DESCRIPTION=a path|TYPE=0\r\n";

const wchar_t kSentToOne[] = L"Message sent to the 1 selected recipient(s).";

// A long message in lines, as a person would paste it (Wine's edit control takes minutes to lay
// out one unbroken word of this length).
std::wstring LongMessage(size_t length) {
  const std::wstring line = L"The quick brown fox jumps over the lazy dog, again and again.\r\n";
  std::wstring text;
  while (text.size() < length) text += line;
  text.resize(length);
  return text;
}

class HostileSendTest : public test::MainWindowTest {
 protected:
  void SendTo(std::initializer_list<int> rows, const std::wstring& message) {
    for (int row = 0; row < RowCount(List()); ++row) SetItemChecked(List(), row, false);
    for (int row : rows) SetItemChecked(List(), row, true);
    // As the program's own text, not typed: an edit control takes at most 32,767 typed characters.
    SetWindowTextW(window->Control(kIdTxtMsg), message.c_str());
    SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(kIdCmdSend, BN_CLICKED), 0);
    test::WaitForReceipts();
  }
};

// One NET start per recipient; the stand-in records the command line as an ANSI program sees it.
// Only the commands actually started are counted as sent.
TEST_F(HostileSendTest, NetPath) {
  test::TempFolder records;
  test::NetRecorder recorder(records);
  StartWithBook(kBook, false);

  // Windows would refuse the command line and Wine would cut it short, so it is never started.
  SendTo({0}, LongMessage(100000));
  EXPECT_EQ(window->StatusText(), L"Message sent to the 0 selected recipient(s).");
  EXPECT_EQ(LogText(),
            L"Error sending message to .. The message is too long for the NET command "
            L"(100009 characters; at most 32503).\r\n");
  EXPECT_TRUE(IsWindowVisible(LogWindowHandle()));

  // The longest message that fits goes out whole.
  const size_t longest = kMaxNetParameterChars - std::wstring(L"SEND \".\" ").size();
  SendTo({0}, LongMessage(longest));
  EXPECT_EQ(window->StatusText(), kSentToOne);

  // A double quote in an address would break out of its quotes and add arguments: that
  // recipient is not sent. Backslashes reach NET as they are; characters outside the code
  // page arrive as its default character, as at every ANSI boundary of the program.
  UnloadLogWindow();
  SendTo({1, 2}, L"\u4e2d\u6587 caf\u00e9 \"q\" \\");
  EXPECT_EQ(window->StatusText(), kSentToOne);
  EXPECT_EQ(LogText(),
            L"Error sending message to say \"hi\". A user, machine or domain name cannot contain a "
            L"double quote (\").\r\n");
  EXPECT_TRUE(IsWindowVisible(LogWindowHandle()));
  std::vector<std::string> sent = recorder.WaitFor(2);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_TRUE(sent[0] == "SEND \".\" " + ToAnsi(LongMessage(longest)))
      << sent[0].size() << " characters";
  EXPECT_EQ(sent[1], "SEND /domain:dom\\ain\\ ?? caf\xE9 \"q\" \\");
  EXPECT_TRUE(shownBoxes.empty());
}

TEST_F(HostileSendTest, BuiltInPath) {
  test::MailslotReceiver receiver;
  ASSERT_TRUE(receiver.Valid());
  test::TempFolder records;
  test::NetRecorder recorder(records);
  StartWithBook(kBook, true);
  const std::string user = ToAnsi(GetCurrentUserName());
  ASSERT_FALSE(user.empty());

  SendTo({0}, LongMessage(100000));
  std::wstring log =
      L"The message was not sent to . over the network. The message is too long for the network "
      L"(100000 bytes; at most 60000).\r\n"
      L"Error sending message to .. The message is too long for the built-in protocol (";
  log += std::to_wstring(user.size() + 1 + 1 + 1 + 100000 + 2);
  log += L" bytes; at most 65537).\r\n";
  EXPECT_EQ(LogText(), log);
  EXPECT_EQ(receiver.Waiting(), 0u) << "nothing is sent cut short";
  EXPECT_EQ(window->StatusText(), kSentToOne);

  SendTo({0}, L"\u4e2d\u6587 caf\u00e9");
  const char tail[] = "\0.\0?? caf\xE9\0";  // and the literal's own NUL
  std::string datagram = user;
  datagram.append(tail, sizeof tail);
  EXPECT_EQ(receiver.Read(), datagram);

  // Names that would make the mailslot path a share or a local path: none is opened, each says
  // why, and none of them reaches this machine's slot.
  SendTo({1, 2, 3}, L"hi");
  EXPECT_EQ(LogText(),
            log +
                L"Message successfully sent to ..\r\n"
                L"Error sending message to say \"hi\". They may not be online. The name say \"hi\" "
                L"cannot receive mailslot messages.\r\n"
                L"Error sending message to dom\\ain\\. They may not be online. The name dom\\ain\\ "
                L"cannot receive mailslot messages.\r\n"
                L"Error sending message to .\\mailslot\\messngr. They may not be online. The name "
                L".\\mailslot\\messngr cannot receive mailslot messages.\r\n");
  EXPECT_EQ(receiver.Waiting(), 0u);
  EXPECT_EQ(window->StatusText(), L"Message sent to the 3 selected recipient(s).");
  EXPECT_TRUE(shownBoxes.empty());

  // NET was never started: the one command recorded is the one sent after switching over.
  App().internalSend = false;
  SendTo({0}, L"now by NET");
  std::vector<std::string> sent = recorder.WaitFor(1);
  EXPECT_EQ(sent, std::vector<std::string>{"SEND \".\" now by NET"});
}

}  // namespace
}  // namespace parvox
