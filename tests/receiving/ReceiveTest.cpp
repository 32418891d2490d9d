// Receiving for real: datagrams written into this computer's messenger mailslot reach the
// running main window's receiver, pop up, go to the log and can be answered.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "addressbook/AddressList.h"
#include "addressbook/EntryEditor.h"
#include "components/Form.h"
#include "components/ListViewChecks.h"
#include "identity/ThisComputer.h"
#include "log/Log.h"
#include "log/LogWindow.h"
#include "receiving/MessagePopup.h"
#include "receiving/MoreMessagesNotice.h"
#include "settings/AppState.h"
#include "support/MainWindowFixture.h"
#include "support/SendRecorders.h"

namespace parvox {
namespace {

using namespace std::string_literals;
using test::PumpMessages;

bool WriteDatagram(const std::string& bytes) {
  HANDLE slot = CreateFileW(L"\\\\.\\mailslot\\messngr", GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (slot == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(slot, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size();
  CloseHandle(slot);
  return ok;
}

std::vector<HWND> WindowsOfClass(const wchar_t* className) {
  struct Search {
    const wchar_t* className;
    std::vector<HWND> found;
  } search{className, {}};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM context) {
        auto* s = reinterpret_cast<Search*>(context);
        wchar_t name[64] = L"";
        GetClassNameW(window, name, 64);
        if (wcscmp(name, s->className) == 0 && IsWindowVisible(window)) s->found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<HWND> Popups() { return WindowsOfClass(L"ParvoxMessage"); }

std::wstring ItemText(HWND window, int id) { return WindowText(GetDlgItem(window, id)); }

size_t Count(const std::wstring& text, const std::wstring& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::wstring::npos;
       at = text.find(part, at + part.size()))
    ++count;
  return count;
}

std::wstring Today() {
  wchar_t date[128] = L"";
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, 128);
  return date;
}

class ReceiveTest : public test::MainWindowTest {
 protected:
  void TearDown() override {
    MainWindowTest::TearDown();
    PumpMessages();
  }
  // Pumps the program's messages, its receiver included, until `done` holds or a generous time
  // has passed (a broken receiver then fails the expectation that follows, not a timer).
  template <typename Done>
  bool PumpUntil(Done done) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < 20000;) {
      PumpMessages();
      if (done()) return true;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return done();
  }
  HWND WaitForPopups(size_t count) {
    PumpUntil([&] { return Popups().size() >= count; });
    std::vector<HWND> popups = Popups();
    return popups.size() >= count ? popups.back() : nullptr;
  }
  void Key(HWND control, WORD key) {
    MSG down{control, WM_KEYDOWN, key, 1};
    DispatchFormMessage(down);
    PumpMessages();
  }
};

TEST_F(ReceiveTest, DatagramPopsUpInFrontWithoutTakingTheKeyboardAndIsLogged) {
  Start();
  ASSERT_TRUE(window->Receiving());
  SetFocus(window->Control(kIdTxtMsg));
  ASSERT_TRUE(WriteDatagram("alice\0BOB\0Lunch?\r\nAt noon.\0\0"s));
  HWND popup = WaitForPopups(1);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(WindowText(popup), L"Message from alice");
  std::wstring header = ItemText(popup, MessagePopup::kLabHeader);
  EXPECT_EQ(header.rfind(L"Message from alice to BOB on " + Today() + L" at ", 0), 0u) << header;
  EXPECT_EQ(ItemText(popup, MessagePopup::kTxtMessage), L"Lunch?\r\nAt noon.");
  EXPECT_EQ(ItemText(popup, MessagePopup::kLabVerification).rfind(L"Not verified: ", 0), 0u);
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(popup, MessagePopup::kCmdTrust)));
  EXPECT_TRUE(GetWindowLongW(GetDlgItem(popup, MessagePopup::kTxtMessage), GWL_STYLE) &
              ES_READONLY);
  EXPECT_TRUE(GetWindowLongW(popup, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(GetFocus(), window->Control(kIdTxtMsg))
      << "the keyboard stays where the user was typing";
  EXPECT_EQ(LogText(), header + L" [not verified]: Lunch? \u00B6 At noon.\r\n");
  EXPECT_FALSE(IsWindowVisible(LogWindowHandle())) << "receiving does not bring the log up";

  // A second copy (classic senders write one per transport) shows once.
  ASSERT_TRUE(WriteDatagram("alice\0BOB\0Lunch?\r\nAt noon.\0\0"s));
  ASSERT_TRUE(WriteDatagram("alice\0BOB\0Or later\0\0"s));
  ASSERT_NE(WaitForPopups(2), nullptr);
  EXPECT_EQ(Popups().size(), 2u);
  EXPECT_EQ(Count(LogText(), L"Message from alice"), 2u);

  // Escape closes the one the keyboard is in, Enter presses OK on the other.
  std::vector<HWND> popups = Popups();
  Key(GetDlgItem(popups[0], MessagePopup::kCmdOK), VK_ESCAPE);
  EXPECT_FALSE(IsWindow(popups[0]));
  Key(GetDlgItem(popups[1], MessagePopup::kTxtMessage), VK_RETURN);
  EXPECT_FALSE(IsWindow(popups[1]));
}

TEST_F(ReceiveTest, DamagedDatagramsShowWhatCanBeShown) {
  Start();
  struct Case {
    const char* name;
    std::string datagram;
    std::wstring caption, text;
    bool canReply;
  } cases[] = {
      {"no NULs", "just some bytes", L"Message from just some bytes", L"", true},
      {"one field", "carol\0"s, L"Message from carol", L"", true},
      {"64 KB of NULs", std::string(65536, '\0'), L"Message from ", L"", false},
      {"bytes with no character", "\x81\x8D\0x\0\x90\x9D\x1B[2J caf\xE9"s, L"Message from ??",
       L"???[2J caf\u00E9", true},
      {"a name of 20,000 bytes", std::string(20000, 'W') + "\0x\0hi"s,
       L"Message from " + std::wstring(256, L'W') + L"...", L"hi", true},
  };
  int designedWidth = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteDatagram(c.datagram));
    HWND popup = WaitForPopups(1);
    ASSERT_NE(popup, nullptr);
    RECT frame{};
    GetWindowRect(popup, &frame);
    if (designedWidth == 0) designedWidth = frame.right - frame.left;
    EXPECT_EQ(frame.right - frame.left, designedWidth) << "a long name breaks, never widens";
    EXPECT_EQ(WindowText(popup), c.caption);
    EXPECT_EQ(ItemText(popup, MessagePopup::kTxtMessage), c.text);
    EXPECT_EQ(IsWindowEnabled(GetDlgItem(popup, MessagePopup::kCmdReply)) != FALSE, c.canReply);
    test::ClickItem(popup, MessagePopup::kCmdOK);
    PumpMessages();
    EXPECT_TRUE(Popups().empty());
  }
  EXPECT_TRUE(window->Receiving()) << "still receiving after all of them";
}

TEST_F(ReceiveTest, BuiltInSendToThisComputerArrivesInItsOwnPopup) {
  WriteSettings(
      "[Settings]\r\nInternal Send=1\r\n[Addresses]\r\nTotal=1\r\n"
      "Address[00001]=ADDRESS=.|DESCRIPTION=me|TYPE=0\r\n");
  Start();
  SetItemChecked(List(), 0, true);
  SetMessage(L"Round trip \u00E9");
  Click(kIdCmdSend);
  HWND popup = WaitForPopups(1);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(WindowText(popup), L"Message from " + GetCurrentUserName());
  EXPECT_EQ(ItemText(popup, MessagePopup::kTxtMessage), L"Round trip \u00E9");
  // The network path brings it too, once, and its receipt makes the send's line.
  test::WaitForReceipts();
  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  ASSERT_TRUE(GetComputerNameW(computer, &length));
  const std::wstring log = LogText();
  EXPECT_EQ(log.rfind(L"Message from " + GetCurrentUserName() + L" to . on ", 0), 0u);
  EXPECT_EQ(log.find(L"\r\nMessage from"), std::wstring::npos) << "one message";
  EXPECT_EQ(log.substr(log.find(L"\r\n") + 2),
            L"Message delivered to " + GetCurrentUserName() + L" (" + computer + L").\r\n");
}

const char kReplyBook[] =
    "[Addresses]\r\nTotal=3\r\n"
    "Address[00001]=ADDRESS=Alice|DESCRIPTION=a|TYPE=0\r\n"
    "Address[00002]=ADDRESS=bob|DESCRIPTION=b|TYPE=0\r\n"
    "Address[00003]=ADDRESS=ALICE|DESCRIPTION=c|TYPE=0\r\n";

TEST_F(ReceiveTest, ReplyFromTheTrayTicksExactlyTheSender) {
  WriteSettings(kReplyBook);
  Start();
  SetItemChecked(List(), 1, true);
  ShowWindow(window->Handle(), SW_MINIMIZE);  // hides to the notification area
  PumpMessages();
  ASSERT_FALSE(IsWindowVisible(window->Handle()));
  ASSERT_TRUE(WriteDatagram("alice\0me\0hi\0\0"s));
  HWND popup = WaitForPopups(1);
  ASSERT_NE(popup, nullptr) << "pops up while the window is hidden";
  test::ClickItem(popup, MessagePopup::kCmdReply);
  PumpMessages();
  EXPECT_FALSE(IsWindow(popup));
  EXPECT_TRUE(IsWindowVisible(window->Handle()));
  EXPECT_FALSE(IsIconic(window->Handle()));
  EXPECT_EQ((std::vector<bool>{IsItemChecked(List(), 0), IsItemChecked(List(), 1),
                               IsItemChecked(List(), 2)}),
            (std::vector<bool>{true, false, true}));
  EXPECT_EQ(GetFocus(), window->Control(kIdTxtMsg));
}

TEST_F(ReceiveTest, ReplyToAnUnknownSenderOffersToAddThem) {
  WriteSettings(kReplyBook);
  Start();
  SetItemChecked(List(), 1, true);
  auto replyInEditor = [&](HWND popup, const std::function<void(HWND)>& inEditor) {
    WithDialog(
        L"ParvoxEdit",
        [&] {
          test::ClickItem(popup, MessagePopup::kCmdReply);
          PumpMessages();
        },
        inEditor);
  };
  for (bool add : {false, true}) {
    SCOPED_TRACE(add ? "added" : "cancelled");
    ASSERT_TRUE(WriteDatagram("carol\0me\0"s + (add ? "second" : "first")));
    HWND popup = WaitForPopups(1);
    ASSERT_NE(popup, nullptr);
    replyInEditor(popup, [&](HWND editor) {
      EXPECT_EQ(WindowText(editor), L"Add a new entry..");
      EXPECT_EQ(ItemText(editor, EntryEditor::kTxtAddress), L"carol");
      test::ClickItem(editor, add ? EntryEditor::kCmdAddEntry : EntryEditor::kCmdCancel);
    });
    EXPECT_EQ(RowCount(List()), add ? 4 : 3);
    EXPECT_EQ(IsItemChecked(List(), 1), !add) << "the ticks change only when the entry is added";
    if (add) {
      EXPECT_TRUE(IsItemChecked(List(), 3));
    }
    EXPECT_EQ(GetFocus(), window->Control(kIdTxtMsg));
  }
  // A From that would make the mailslot path a file share is not offered as an address.
  ASSERT_TRUE(WriteDatagram("evilhost\\share\0me\0hi"s));
  HWND popup = WaitForPopups(1);
  ASSERT_NE(popup, nullptr);
  replyInEditor(popup, [&](HWND editor) {
    EXPECT_EQ(ItemText(editor, EntryEditor::kTxtAddress), L"");
    test::ClickItem(editor, EntryEditor::kCmdCancel);
  });
  EXPECT_EQ(window->StatusText(),
            L"The sender's name evilhost\\share cannot receive mailslot messages, so it was not "
            L"filled in.");
}

TEST_F(ReceiveTest, TheSlotHasOneOwner) {
  {
    test::MailslotReceiver other;  // the messaging service, or another Parvox, got there first
    ASSERT_TRUE(other.Valid());
    Start();
    EXPECT_FALSE(window->Receiving());
    EXPECT_EQ(LogText(),
              L"Messages sent to this computer cannot be shown here: another program already "
              L"receives them "
              L"(the Messenger service, or Parvox running a second time).\r\n");
    EXPECT_FALSE(IsWindowVisible(LogWindowHandle()));
    EXPECT_TRUE(shownBoxes.empty());
    Close();
  }
  WriteSettings("[Settings]\r\nReceive Messages=0\r\n");
  Start();
  EXPECT_FALSE(window->Receiving());
  test::MailslotReceiver free;
  EXPECT_TRUE(free.Valid()) << "with the option off the slot stays free";
}

// Stop cannot count on waking the reader with a byte of its own: another writer that does not
// share the slot keeps it out, and the program must close all the same.
TEST_F(ReceiveTest, ClosesWhileAnotherWriterHoldsTheSlot) {
  Start();
  ASSERT_TRUE(window->Receiving());
  HANDLE writer = CreateFileW(L"\\\\.\\mailslot\\messngr", GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  Close();
  CloseHandle(writer);
  test::MailslotReceiver free;
  EXPECT_TRUE(free.Valid()) << "the slot was let go";
}

// Messages beyond the budget that all routes and sources share get neither a line nor a pop-up:
// one line says so.
TEST_F(ReceiveTest, AFloodLeavesTenPopupsANoticeAndOneLineForWhatWasIgnored) {
  Start();
  constexpr int kMessages = 1000;
  std::atomic<int> unanswered{0};
  std::atomic<bool> written{false};
  // Another program floods the slot and checks every hundred datagrams that the window still
  // answers; the test thread runs the program's message loop meanwhile.
  std::thread flood([&] {
    for (int i = 0; i < kMessages; ++i) {
      WriteDatagram("flooder\0me\0number " + std::to_string(i) + "\0\0"s);
      DWORD_PTR result = 0;
      if (i % 100 == 99 &&
          !SendMessageTimeoutW(window->Handle(), WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result)) {
        ++unanswered;
      }
    }
    written = true;
  });
  // Far more than the budget arrives, so the line that says so comes once the reader gets there.
  PumpUntil([&] {
    return written.load() &&
           LogText().find(L"Too many messages are arriving") != std::wstring::npos;
  });
  flood.join();
  PumpMessages();
  EXPECT_EQ(unanswered, 0);
  const std::wstring log = LogText();
  size_t logged = Count(log, L"Message from flooder");
  EXPECT_GE(logged, 50u) << "a burst goes through";
  EXPECT_LT(logged, static_cast<size_t>(kMessages));
  EXPECT_EQ(Count(log,
                  L"Too many messages are arriving: further ones are ignored until fewer "
                  L"arrive."),
            1u);
  EXPECT_EQ(Popups().size(), 10u);
  std::vector<HWND> notices = WindowsOfClass(L"ParvoxMoreMessages");
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(ItemText(notices[0], MoreMessagesNotice::kLabText),
            std::to_wstring(logged - 10) + L" more messages arrived. See the log.");

  // Once the notice is closed, the count starts again in a new one.
  test::ClickItem(notices[0], MoreMessagesNotice::kCmdOK);
  Sleep(200);  // the budget has room again
  ASSERT_TRUE(WriteDatagram("flooder\0me\0one more\0\0"s));
  PumpUntil([&] { return WindowsOfClass(L"ParvoxMoreMessages").size() == 1; });
  notices = WindowsOfClass(L"ParvoxMoreMessages");
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(ItemText(notices[0], MoreMessagesNotice::kLabText),
            L"1 more messages arrived. See the log.");
}

}  // namespace
}  // namespace parvox
