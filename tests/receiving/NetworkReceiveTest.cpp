// The network path for real on loopback: a running Parvox answers what is addressed to it and
// ignores the rest. Several parvox.exe on a network are the office-network test's (tests/lan).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/MainLayout.h"
#include "components/AnsiText.h"
#include "log/Log.h"
#include "network/NetworkAddress.h"
#include "network/NetworkDatagram.h"
#include "network/UdpEndpoint.h"
#include "sending/MailslotSender.h"
#include "support/MainWindowFixture.h"

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
  Send(Message(4, "*", "to everyone"));  // another copy of the same message: answered once
  Send(Message(3, "*", "to the user"));  // the same id again, by another route
  Send(Message(5, "*", "the last one"));
  std::vector<NetworkReceipt> receipts = ReceiptsUntil(5);
  std::vector<uint64_t> ids;
  for (const NetworkReceipt& receipt : receipts) {
    ids.push_back(receipt.id);
    EXPECT_EQ(FromAnsi(receipt.computer), ComputerName());
    EXPECT_EQ(receipt.user, user);
  }
  EXPECT_EQ(ids, (std::vector<uint64_t>{2, 3, 4, 3, 5})) << "every accepted message is answered";
  EXPECT_EQ(Popups(), 4u);
  EXPECT_EQ(Count(LogText(), L"Message from peer"), 4u);
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

}  // namespace
}  // namespace parvox
