// The network path for real on loopback: a running Parvox answers what is addressed to it and
// ignores the rest, and two parvox.exe processes exchange a message and its receipt.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/MainLayout.h"
#include "components/AnsiText.h"
#include "log/Log.h"
#include "log/LogLayout.h"
#include "network/LocalInterfaces.h"
#include "network/NetworkAddress.h"
#include "network/NetworkDatagram.h"
#include "network/UdpEndpoint.h"
#include "sending/MailslotSender.h"
#include "support/MainWindowFixture.h"
#include "support/TempFolder.h"

namespace parvox {
namespace {

using test::PumpMessages;

const IpAddress kLoopback = Ipv4Address(0x7F000001);

std::wstring ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  return GetComputerNameW(name, &length) ? std::wstring(name, length) : std::wstring();
}

// Top-level windows of a class that belong to one process.
std::vector<HWND> WindowsOf(DWORD process, const wchar_t* windowClass) {
  struct Search {
    DWORD process;
    const wchar_t* windowClass;
    std::vector<HWND> found;
  } search{process, windowClass, {}};
  EnumWindows(
      [](HWND window, LPARAM context) -> BOOL {
        auto* s = reinterpret_cast<Search*>(context);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        wchar_t name[64] = L"";
        GetClassNameW(window, name, 64);
        if (owner == s->process && wcscmp(name, s->windowClass) == 0) s->found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

size_t Count(const std::wstring& text, const std::wstring& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

std::string Message(uint64_t id, const std::string& to, const std::string& text = "hi") {
  std::string bytes;
  EncodeNetworkMessage({id, "peer", to, text}, bytes);
  return bytes;
}

class NetworkReceiveTest : public test::MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    ASSERT_EQ(peer.Open(0), UdpEndpoint::OpenResult::kOpen);
    port = test::FreeUdpPort();
    WriteSettings("[Settings]\r\nNetwork Port=" + std::to_string(port) + "\r\n");
    Start();
  }
  void Send(const std::string& bytes) { peer.SendTo({kLoopback, port}, bytes); }
  // Pumps the program until the receipt for `id` is back; returns every receipt read meanwhile.
  std::vector<NetworkReceipt> ReceiptsUntil(uint64_t id) {
    std::vector<NetworkReceipt> receipts;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 20000;) {
      PumpMessages();
      while (std::optional<ReceivedDatagram> datagram = peer.Receive()) {
        DecodedDatagram decoded = DecodeNetworkDatagram(datagram->bytes);
        if (auto* receipt = std::get_if<NetworkReceipt>(&decoded)) receipts.push_back(*receipt);
      }
      if (!receipts.empty() && receipts.back().id == id) break;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    PumpMessages();
    return receipts;
  }
  size_t Popups() { return WindowsOf(GetCurrentProcessId(), L"ParvoxMessage").size(); }

  UdpEndpoint peer;
  uint16_t port = 0;
};

TEST_F(NetworkReceiveTest, AnswersWhatIsAddressedHereAndShowsEachIdOnce) {
  const std::string user = ToAnsi(GetCurrentUserName());
  std::string shouted = user;
  CharUpperBuffA(shouted.data(), static_cast<DWORD>(shouted.size()));
  Send(Message(1, "nobody-here"));
  Send(Message(2, "."));  // from this computer only, which loopback is
  Send(Message(3, shouted, "to the user"));
  Send(Message(4, "*", "to everyone"));
  Send(Message(3, "*", "to the user"));  // the same id again, by another route
  std::vector<NetworkReceipt> receipts = ReceiptsUntil(3);
  std::vector<uint64_t> ids;
  for (const NetworkReceipt& receipt : receipts) {
    ids.push_back(receipt.id);
    EXPECT_EQ(FromAnsi(receipt.computer), ComputerName());
    EXPECT_EQ(receipt.user, user);
  }
  EXPECT_EQ(ids, (std::vector<uint64_t>{2, 3, 4, 3})) << "every accepted datagram is answered";
  EXPECT_EQ(Popups(), 3u);
  EXPECT_EQ(Count(LogText(), L"Message from peer"), 3u);
  EXPECT_EQ(LogText().find(L"nobody-here"), std::wstring::npos);
}

TEST_F(NetworkReceiveTest, DamagedDatagramsAreIgnored) {
  const std::string good = Message(7, "*");
  std::string wrongVersion = good, wrongKind = good, wrongMagic = good;
  wrongVersion[4] = 2;
  wrongKind[5] = 9;
  wrongMagic[0] = 'X';
  std::string oversized = good.substr(0, kNetworkHeaderBytes);
  oversized.append("peer").push_back('\0');
  oversized.append("*").push_back('\0');
  oversized.append(65000, 'x').push_back('\0');
  const std::string damaged[] = {
      std::string(),
      good.substr(0, 5),                    // the header cut short
      good.substr(0, kNetworkHeaderBytes),  // no fields
      good.substr(0, good.size() - 1),      // the text's NUL missing
      good + "trailing",
      std::string(good.size(), '\0'),
      wrongVersion,
      wrongKind,
      wrongMagic,
      oversized,
      Message(8, ""),  // a message for no one
  };
  for (const std::string& bytes : damaged) Send(bytes);
  Send(Message(9, "*", "still listening"));
  std::vector<NetworkReceipt> receipts = ReceiptsUntil(9);
  ASSERT_EQ(receipts.size(), 1u);
  EXPECT_EQ(receipts[0].id, 9u);
  EXPECT_EQ(Popups(), 1u);
  EXPECT_EQ(Count(LogText(), L"Message from"), 1u);
}

TEST_F(NetworkReceiveTest, AFloodFromOneSourceIsLimitedWithOneLine) {
  constexpr uint64_t kFlood = 200;
  for (uint64_t id = 1; id <= kFlood; ++id) Send(Message(id, "*", std::to_string(id)));
  for (DWORD start = GetTickCount(); GetTickCount() - start < 20000;) {
    PumpMessages();
    if (LogText().find(L"Too many messages") != std::wstring::npos) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  std::vector<NetworkReceipt> receipts;
  while (std::optional<ReceivedDatagram> datagram = peer.Receive()) receipts.emplace_back();
  const std::wstring log = LogText();
  EXPECT_EQ(Count(log,
                  L"Too many messages from 127.0.0.1: further ones are ignored until it "
                  L"sends fewer."),
            1u);
  EXPECT_GE(receipts.size(), 20u) << "a burst goes through";
  EXPECT_LT(receipts.size(), kFlood);
  EXPECT_EQ(Count(log, L"Message from peer"), receipts.size()) << "what is answered is shown";
  EXPECT_LE(Popups(), 10u);
}

// One parvox.exe from a folder of its own, with its own settings file.
class RunningParvox {
 public:
  explicit RunningParvox(const std::string& settings) {
    std::wstring exe = folder.File(L"parvox.exe");
    std::string built = PARVOX_EXE;
    std::wstring source = L"Z:" + std::wstring(built.begin(), built.end());
    for (wchar_t& c : source) c = c == L'/' ? L'\\' : c;
    CopyFileW(source.c_str(), exe.c_str(), FALSE);
    test::WriteBytes(folder.File(L"Address Book.ini"), settings);
    STARTUPINFOW startup{sizeof startup};
    std::wstring commandLine = L"\"" + exe + L"\"";
    started_ = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              folder.Path().c_str(), &startup, &process_);
  }
  ~RunningParvox() {
    if (!started_) return;
    if (HWND main = Main()) PostMessageW(main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) {
      TerminateProcess(process_.hProcess, 1);
    }
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
  }
  DWORD Id() const { return started_ ? process_.dwProcessId : 0; }
  HWND Main() const {
    std::vector<HWND> windows = WindowsOf(Id(), L"ParvoxMain");
    return windows.empty() ? nullptr : windows[0];
  }
  std::wstring LogText() const {
    std::vector<HWND> logs = WindowsOf(Id(), L"ParvoxLog");
    HWND text = nullptr;
    if (!logs.empty()) {
      EnumChildWindows(
          logs[0],
          [](HWND child, LPARAM found) -> BOOL {
            if (GetDlgCtrlID(child) != static_cast<int>(LogControlId::kTxtLog)) return TRUE;
            *reinterpret_cast<HWND*>(found) = child;
            return FALSE;
          },
          reinterpret_cast<LPARAM>(&text));
    }
    // WM_GETTEXT itself: GetWindowText does not ask another process's controls.
    std::wstring content(65536, L'\0');
    content.resize(static_cast<size_t>(
        SendMessageW(text, WM_GETTEXT, content.size(), reinterpret_cast<LPARAM>(content.data()))));
    return text != nullptr ? content : std::wstring();
  }

  test::TempFolder folder;

 private:
  bool started_ = false;
  PROCESS_INFORMATION process_{};
};

template <typename Done>
bool WaitUntil(Done done) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < 30000; Sleep(20)) {
    if (done()) return true;
  }
  return done();
}

TEST(TwoPrograms, ExchangeAMessageAndItsReceipt) {
  // A user name is found by a broadcast on this computer's subnets; loopback has none.
  if (BroadcastDestinations(ReadInterfaceTable()).empty()) {
    GTEST_SKIP() << "needs an IPv4 network interface besides loopback";
  }
  const uint16_t senderPort = test::FreeUdpPort();
  uint16_t receiverPort = test::FreeUdpPort();
  while (receiverPort == senderPort) receiverPort = test::FreeUdpPort();
  const std::string user = ToAnsi(GetCurrentUserName());
  std::string to = ":";
  to.append(std::to_string(receiverPort));
  RunningParvox receiver("[Settings]\r\nNetwork Port=" + std::to_string(receiverPort) + "\r\n");
  ASSERT_TRUE(WaitUntil([&] { return receiver.Main() != nullptr; }));
  const std::string entries[] = {"127.0.0.1" + to, user + to, "nobody-here" + to};
  std::string book = "[Addresses]\r\nTotal=3\r\n";
  std::string ticked;
  for (int i = 0; i < 3; ++i) {
    book.append("Address[0000").append(std::to_string(i + 1)).append("]=ADDRESS=");
    book.append(entries[i]).append("|DESCRIPTION=x|TYPE=0\r\n");
    ticked.append(i > 0 ? "|" : "").append(entries[i]);
  }
  book.append("[Settings]\r\nInternal Send=1\r\nNetwork Port=").append(std::to_string(senderPort));
  book.append("\r\nLast Selected=").append(ticked).append("\r\n");
  // Ticked at start-up through the stored selection: another process's list cannot be ticked.
  RunningParvox sender(book);
  ASSERT_TRUE(WaitUntil([&] { return sender.Main() != nullptr; }));
  HWND main = sender.Main();
  SendMessageW(GetDlgItem(main, kIdTxtMsg), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(L"Over the network"));
  PostMessageW(main, WM_COMMAND, MAKEWPARAM(kIdCmdSend, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(main, kIdCmdSend)));

  // Nobody answers for the third: its line comes when the wait for receipts is over.
  ASSERT_TRUE(WaitUntil([&] { return sender.LogText().find(L"nobody") != std::wstring::npos; }))
      << ToAnsi(sender.LogText());
  std::wstring log = sender.LogText();
  // The receiver started first and owns the mailslot, which the sender's first line says.
  ASSERT_EQ(log.rfind(L"Messages sent to this computer cannot be shown here", 0), 0u);
  log.erase(0, log.find(L"\r\n") + 2);
  const std::wstring delivered =
      L"Message delivered to " + GetCurrentUserName() + L" (" + ComputerName() + L").\r\n";
  const std::wstring wideTo(to.begin(), to.end());
  EXPECT_EQ(log.substr(0, 2 * delivered.size()), delivered + delivered) << "address, user name";
  EXPECT_EQ(
      log.substr(2 * delivered.size())
          .rfind(L"Error sending message to nobody-here" + wideTo + L". They may not be online.",
                 0),
      0u)
      << ToAnsi(log);
  std::vector<HWND> popups = WindowsOf(receiver.Id(), L"ParvoxMessage");
  ASSERT_EQ(popups.size(), 2u);
  wchar_t caption[256] = L"";
  SendMessageW(popups[0], WM_GETTEXT, 256, reinterpret_cast<LPARAM>(caption));
  EXPECT_EQ(caption, L"Message from " + GetCurrentUserName());
  EXPECT_EQ(Count(receiver.LogText(), L"Message from"), 2u);
}

}  // namespace
}  // namespace parvox
