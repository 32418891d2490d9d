// What strangers on the subnet can make the program do: forged receipts after a send, a flood
// from one computer's many IPv6 addresses, long messages filling the log, and typing while a
// flood goes on.
#include <winsock2.h>
#include <ws2tcpip.h>
// After the socket headers, which must come first.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Benchmark.h"
#include "app/MainLayout.h"
#include "app/MainWindow.h"
#include "identity/MessageSigning.h"
#include "log/Log.h"
#include "log/LogWindow.h"
#include "network/NetworkDatagram.h"
#include "network/UdpEndpoint.h"
#include "receiving/ReceivedText.h"
#include "sending/MailslotSender.h"
#include "sending/NetworkDelivery.h"

namespace parvox::bench {
namespace {

constexpr int kForgedReceipts = 100000;
constexpr int kForgedNames = 1000;
// scripts/dev.sh bench gives the test network's card these addresses, one computer's /64, for
// this row alone: a thousand addresses slow down every other row's interface reading.
constexpr wchar_t kOwnSubnet[] = L"2001:db8:5::";
constexpr int kSubnetSources = 1000;
constexpr int kMessagesPerSource = 20;

std::string Settings(uint16_t port) {
  return "[Settings]\r\nNetwork Port=" + std::to_string(port) + "\r\nReceive Messages=1\r\n";
}

// A send to the workgroup from a computer that does not receive; a neighbour takes the id from
// the broadcast and answers with receipts from invented computers, as fast as it can.
void ForgedReceipts(Table& table) {
  const uint16_t port = FreePort();
  UdpEndpoint forger;
  if (forger.Open(port) != UdpEndpoint::OpenResult::kOpen) return;
  HWND watched =
      CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  const size_t logBefore = LogText().size();
  double memoryBefore = WorkingSetMegabytes();
  std::atomic<bool> forged{false};
  std::thread neighbour([&] {
    for (DWORD start = GetTickCount(); GetTickCount() - start < 10000;) {
      std::optional<ReceivedDatagram> datagram = forger.Receive();
      if (!datagram) {
        WaitForSingleObject(forger.Event(), 100);
        continue;
      }
      DecodedDatagram decoded = DecodeNetworkDatagram(datagram->bytes);
      auto* message = std::get_if<SignedMessage>(&decoded);
      if (message == nullptr) continue;
      // Signed by the neighbour's own key in a thousand invented names, each sent a hundred
      // times: unsigned receipts no longer count at all.
      std::unique_ptr<SigningKey> key = SigningKey::Generate();
      std::string digest = Sha256(datagram->bytes);
      std::vector<std::string> receipts;
      for (int i = 0; i < kForgedNames && key != nullptr; ++i) {
        receipts.push_back(SealDatagram(SignedReceipt{message->id,
                                                      SecondsSince1970(),
                                                      digest,
                                                      key->PublicKey(),
                                                      "FORGED" + std::to_string(i),
                                                      "eve",
                                                      {}},
                                        *key));
      }
      for (int i = 0; i < kForgedReceipts && !receipts.empty(); ++i) {
        forger.SendTo(datagram->source, receipts[i % receipts.size()]);
      }
      break;
    }
    forged = true;
  });
  ResponsivenessWatch watch(watched);
  NetworkSend& send = StartNetworkSend(nullptr, port, {}, L"benchmark", L"To the whole workgroup.");
  send.AddRecipient(L"WORKGROUP", true);
  WaitForReceipts(send);
  PumpUntil([&] { return forged.load() && !ReceiptsPending(); });
  double longestMs = watch.StopAndTakeLongestMs();
  neighbour.join();
  std::wstring log = LogText().substr(logBefore);
  size_t lineEnd = log.find(L"\r\n");
  table.Add("100000 forged receipts: longest time the window did not answer", longestMs, "ms");
  table.Goal("100000 forged receipts: longest time the window did not answer", 100);
  table.Add("100000 forged receipts: working-set growth", WorkingSetMegabytes() - memoryBefore,
            "MB");
  table.Goal("100000 forged receipts: working-set growth", 10);
  table.Add("100000 forged receipts: computers named in the line",
            static_cast<double>(Count(log.substr(0, lineEnd), L"(FORGED")), "count");
  table.Goal("100000 forged receipts: computers named in the line", 64);
  DestroyWindow(watched);
}

// One computer with a thousand addresses in its /64 sends 20 messages from each.
void OneSubnetFlood(Table& table, const std::wstring& folder) {
  const uint16_t port = FreePort();
  WriteFileBytes(folder + L"Address Book.ini", Settings(port));
  auto window = std::make_unique<MainWindow>();
  window->Create(L"", folder + L"parvox.exe");
  PumpMessages();
  std::vector<SOCKET> sources;
  for (int i = 2; i < kSubnetSources + 2; ++i) {
    SOCKET source = socket(AF_INET6, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in6 from{};
    from.sin6_family = AF_INET6;
    std::wstring address = kOwnSubnet + std::to_wstring(i);
    InetPtonW(AF_INET6, address.c_str(), &from.sin6_addr);
    if (source == INVALID_SOCKET ||
        bind(source, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
      if (source != INVALID_SOCKET) closesocket(source);
      break;
    }
    sources.push_back(source);
  }
  if (sources.size() < static_cast<size_t>(kSubnetSources)) {
    table.Add("1000 sources on one /64: the addresses could not be had", -1, "");
  } else {
    sockaddr_in6 to{};
    to.sin6_family = AF_INET6;
    to.sin6_port = htons(port);
    InetPtonW(AF_INET6, (std::wstring(kOwnSubnet) + L"1").c_str(), &to.sin6_addr);
    const size_t logBefore = LogText().size();
    ResponsivenessWatch watch(window->Handle());
    double seconds = FloodAndSettle([&] {
      for (int round = 0; round < kMessagesPerSource; ++round) {
        for (size_t i = 0; i < sources.size(); ++i) {
          std::string bytes;
          // Each text differs: the same message again would be dropped as a repeat.
          EncodeNetworkMessage({(static_cast<uint64_t>(round) << 32) + i + 1, "flooder", "*",
                                "round " + std::to_string(round) + " from " + std::to_string(i)},
                               bytes);
          sendto(sources[i], bytes.data(), static_cast<int>(bytes.size()), 0,
                 reinterpret_cast<sockaddr*>(&to), sizeof to);
        }
        Sleep(1);  // a socket buffer's worth at a time
      }
    });
    double longestMs = watch.StopAndTakeLongestMs();
    std::wstring log = LogText().substr(logBefore);
    size_t lines = Count(log, L"\r\n");
    table.Add("20000 messages from 1000 sources on one /64: log lines", static_cast<double>(lines),
              "count");
    table.Add("20000 messages from 1000 sources on one /64: lines per second",
              static_cast<double>(lines) / seconds, "1/s");
    table.Add("20000 messages from 1000 sources on one /64: longest time the window did not answer",
              longestMs, "ms");
    table.Goal(
        "20000 messages from 1000 sources on one /64: longest time the window did not answer", 100);
  }
  for (SOCKET source : sources) closesocket(source);
  DestroyWindow(window->Handle());
  PumpMessages();
}

// Five messages a second with 1,024-character From, To and Text, one turn of the message loop per
// second, fast: 400 seconds fill the log six times over, so what holds at their end holds for a
// day. The log must stay under its ceiling and its appends must not slow down.
void PoliteFlood(Table& table) {
  constexpr int kSeconds = 400, kPerSecond = 5, kSample = 50;
  const std::wstring line = ReceivedLogLine(
      ReceivedHeader(std::wstring(1024, L'f'), std::wstring(1024, L't'), L"12/9/2026", L"09:00"),
      std::wstring(1024, L'x'));
  UnloadLogWindow();
  LoadLogWindow();
  double firstMs = 0, lastMs = 0, longestMs = 0;
  LARGE_INTEGER start = Now();
  for (int second = 0; second < kSeconds; ++second) {
    LARGE_INTEGER turn = Now();
    for (int i = 0; i < kPerSecond; ++i) AppendLog(false, line);
    PumpMessages();
    double ms = Seconds(turn) * 1000.0;
    longestMs = std::max(longestMs, ms);
    if (second < kSample) firstMs += ms;
    if (second >= kSeconds - kSample) lastMs += ms;
    if (Seconds(start) > 120) {  // a log without a ceiling slows down: stop and say so
      table.Add("polite flood: stopped after (seconds of it)", static_cast<double>(second), "s");
      lastMs = ms * kSample;
      break;
    }
  }
  table.Add("polite flood, 400 s: log size at the end", LogText().size() / 1e6, "M chars");
  table.Goal("polite flood, 400 s: log size at the end", 1.0);
  table.Add("polite flood: one second's lines, first 50 seconds", firstMs / kSample, "ms");
  table.Add("polite flood: one second's lines, last 50 seconds", lastMs / kSample, "ms",
            "polite flood: one second's lines, first 50 seconds");
  table.Goal("polite flood: one second's lines, last 50 seconds", 1.5, true);
  table.Add("polite flood: longest second", longestMs, "ms");
  UnloadLogWindow();
}

// Keys typed into the message box while a flood arrives: the time until the box shows them.
void TypingDuringFlood(Table& table, const std::wstring& folder) {
  const uint16_t port = FreePort();
  WriteFileBytes(folder + L"Address Book.ini", Settings(port));
  auto window = std::make_unique<MainWindow>();
  window->Create(L"", folder + L"parvox.exe");
  HWND box = window->Control(kIdTxtMsg);
  SetForegroundWindow(window->Handle());
  SetFocus(box);
  PumpMessages();
  std::atomic<bool> stop{false};
  std::thread flood([&] {
    UdpEndpoint flooder;
    flooder.Open(0);
    for (uint64_t id = 1; !stop; ++id) {
      std::string bytes;
      EncodeNetworkMessage({id, "flooder", "*", "flood"}, bytes);
      flooder.SendTo({Ipv4Address(0x7F000001), port}, bytes);
      if (id % 16 == 0) Sleep(0);
    }
  });
  std::atomic<double> longestMs{0};
  std::atomic<bool> typed{false};
  std::thread typist([&] {
    Sleep(300);  // the flood is under way
    for (int key = 0; key < 20; ++key) {
      int before = GetWindowTextLengthW(box);
      INPUT press[2] = {};
      press[0].type = press[1].type = INPUT_KEYBOARD;
      press[0].ki.wVk = press[1].ki.wVk = 'A';
      press[1].ki.dwFlags = KEYEVENTF_KEYUP;
      LARGE_INTEGER pressed = Now();
      SendInput(2, press, sizeof(INPUT));
      while (GetWindowTextLengthW(box) == before && Seconds(pressed) < 10) Sleep(1);
      longestMs = std::max(longestMs.load(), Seconds(pressed) * 1000.0);
      Sleep(20);
    }
    typed = true;
  });
  PumpUntil([&] { return typed.load(); });
  stop = true;
  typist.join();
  flood.join();
  table.Add("typing during a flood: longest key press until the box shows it", longestMs, "ms");
  table.Goal("typing during a flood: longest key press until the box shows it", 100);
  DestroyWindow(window->Handle());
  PumpMessages();
}

// The mailslot is opened on the window thread: how long an open to a computer that does not
// exist takes decides whether that is acceptable.
void MailslotToNobody(Table& table) {
  std::vector<double> times;
  for (int i = 0; i < 20; ++i) {
    MailslotMessage message{L"benchmark", L"nosuchhost-parvox-" + std::to_wstring(i), L"x"};
    LARGE_INTEGER start = Now();
    SendMailslotMessage(L"messngr", message);
    times.push_back(Seconds(start) * 1000.0);
  }
  std::sort(times.begin(), times.end());
  table.Add("mailslot write to a computer that does not exist (longest of 20)", times.back(), "ms");
  table.Goal("mailslot write to a computer that does not exist (longest of 20)", 100);
}

}  // namespace

void RunHostileNetworkBenchmarks(Table& table) {
  MailslotToNobody(table);
  std::wstring folder = NewTempFolder();
  ForgedReceipts(table);
  RunSignatureFloodBenchmarks(table);
  TypingDuringFlood(table, folder);
  PoliteFlood(table);
}

void RunSubnetFloodBenchmark(Table& table) { OneSubnetFlood(table, NewTempFolder()); }

}  // namespace parvox::bench
