// The relay against a real mosquitto that `scripts/dev.sh bench relay` starts on loopback: a
// message's round trip through the broker beside the same over the local network, a send to
// 1,000 recipients, 1,000 messages that waited at the broker, and the way back after the broker
// restarts.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Benchmark.h"
#include "app/MainWindow.h"
#include "components/AnsiText.h"
#include "components/ListViewChecks.h"
#include "identity/MessageSigning.h"
#include "identity/ThisComputer.h"
#include "log/LogWindow.h"
#include "network/NetworkDatagram.h"
#include "network/UdpEndpoint.h"
#include "relay/BrokerConnection.h"
#include "relay/RelaySetup.h"
#include "relay/RelayTopics.h"
#include "sending/NetworkDelivery.h"
#include "settings/AppState.h"
#include "support/BrokerPeer.h"

namespace parvox::bench {
namespace {

using test::BrokerPeer;

constexpr int kRounds = 100;
constexpr int kRecipients = 1000;
const IpAddress kLoopback = Ipv4Address(0x7F000001);

std::string OwnTopic() {
  return *RelayTopic(RelayTopicKind::kUser, RelayName(GetCurrentUserName()));
}

std::unique_ptr<MainWindow> StartWindow(const std::wstring& folder, const std::string& book,
                                        uint16_t broker, uint16_t port) {
  WriteFileBytes(folder + L"Address Book.ini",
                 book + "[Settings]\r\nInternal Send=1\r\nNetwork Port=" + std::to_string(port) +
                     "\r\nRelay Server=mqtt://127.0.0.1:" + std::to_string(broker) + "\r\n");
  auto window = std::make_unique<MainWindow>();
  window->Create(L"", folder + L"parvox.exe");
  return window;
}

void Close(std::unique_ptr<MainWindow>& window) {
  DestroyWindow(window->Handle());
  window.reset();
  PumpMessages();
}

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// A message to this computer's user and back to its receipt, by either way; paced to the
// receiving budget's rate, which is not what is measured.
void RoundTrips(Table& table, const std::wstring& folder, uint16_t broker) {
  const uint16_t port = FreePort();
  auto window = StartWindow(folder, "", broker, port);
  BrokerPeer peer(broker, "benchpeer", 0);
  PumpUntil([&] { return peer.Up(); });
  peer.PublishUntilTaken(OwnTopic(), peer.Message(RelayName(GetCurrentUserName()), "warm up"));
  peer.Next();
  UdpEndpoint lan;
  lan.Open(0);
  std::vector<double> overLan, overRelay;
  for (int i = 0; i < kRounds; ++i) {
    std::string message = peer.Message("*", "Over the network " + std::to_string(i));
    LARGE_INTEGER start = Now();
    lan.SendTo({kLoopback, port}, message);
    bool answered = false;
    PumpUntil([&] {
      while (std::optional<ReceivedDatagram> datagram = lan.Receive()) answered = true;
      return answered;
    });
    overLan.push_back(Seconds(start) * 1000.0);

    message = peer.Message("*", "Through the relay " + std::to_string(i));
    start = Now();
    peer.Publish(OwnTopic(), message);
    peer.Next();
    overRelay.push_back(Seconds(start) * 1000.0);
    Sleep(200);
  }
  table.Add("message to receipt over the local network (median of 100)", Median(overLan), "ms");
  table.Add("message to receipt through the broker (median of 100)", Median(overRelay), "ms",
            "message to receipt over the local network (median of 100)");
  table.Goal("message to receipt through the broker (median of 100)", 2, true);
  Close(window);
}

void ThousandRecipients(Table& table, const std::wstring& folder, uint16_t broker) {
  std::string book = "[Addresses]\r\nTotal=" + std::to_string(kRecipients) + "\r\n";
  for (int i = 1; i <= kRecipients; ++i) {
    book += "Address[" + std::to_string(100000 + i).substr(1) + "]=ADDRESS=away" +
            std::to_string(i) + "|DESCRIPTION=colleague|TYPE=0\r\n";
  }
  auto window = StartWindow(folder, book, broker, FreePort());
  // Every user has a session at the broker, as in a company that uses the relay: it takes each
  // message for them.
  BrokerPeer probe(broker, "benchprobe", 0, "", "parvox/user/+");
  PumpUntil([&] { return probe.Up(); });
  probe.PublishUntilTaken(OwnTopic(), probe.Message(RelayName(GetCurrentUserName()), "ready?"));
  auto [seconds, longestMs] =
      SendToEveryRow(*window, kRecipients, L"Benchmark message through the relay.");
  table.Add("1000 recipients through the relay: send to last log line", seconds, "s");
  table.Goal("1000 recipients through the relay: send to last log line", 3);
  table.Add("1000 recipients through the relay: longest time the window did not answer", longestMs,
            "ms");
  table.Goal("1000 recipients through the relay: longest time the window did not answer", 100);
  Close(window);
}

// The window's session is made, the program closes, 1,000 messages wait at the broker, and the
// program starts again.
void QueuedAtStart(Table& table, const std::wstring& folder, uint16_t broker) {
  const uint16_t port = FreePort();
  auto window = StartWindow(folder, "", broker, port);
  BrokerPeer peer(broker, "benchqueue", 0);
  PumpUntil([&] { return peer.Up(); });
  peer.PublishUntilTaken(OwnTopic(), peer.Message(RelayName(GetCurrentUserName()), "before"));
  Close(window);
  for (int i = 0; i < kRecipients; ++i) {
    peer.Publish(OwnTopic(), peer.Message("*", "Waited at the broker " + std::to_string(i)));
  }
  peer.Until([&] { return peer.Taken() >= 1 + kRecipients; }, 120000);
  LARGE_INTEGER start = Now();
  window = StartWindow(folder, "", broker, port);
  ResponsivenessWatch watch(window->Handle());
  auto shown = [&] { return Count(LogText(), L"Waited at the broker "); };
  PumpUntil([&] { return shown() >= kRecipients; }, 300);
  table.Add("1000 messages queued at the broker: drained at start-up", Seconds(start), "s");
  table.Add("1000 messages queued at the broker: logged or shown", static_cast<double>(shown()),
            "count");
  table.Add("1000 messages queued at the broker: longest time the window did not answer",
            watch.StopAndTakeLongestMs(), "ms");
  table.Goal("1000 messages queued at the broker: longest time the window did not answer", 100);
  Close(window);
}

// The script around the benchmark restarts the broker when the file `restart` appears beside
// its configuration.
void BrokerRestart(Table& table, const std::wstring& folder, uint16_t broker,
                   const std::wstring& restartFile) {
  auto window = StartWindow(folder, "", broker, FreePort());
  BrokerPeer before(broker, "benchrestart", 0);
  PumpUntil([&] { return before.Up(); });
  before.PublishUntilTaken(OwnTopic(), before.Message(RelayName(GetCurrentUserName()), "up"));
  const size_t outages = Count(LogText(), L"cannot be reached");
  WriteFileBytes(restartFile, "restart");
  LARGE_INTEGER start = Now();
  PumpUntil([&] { return Count(LogText(), L"cannot be reached") > outages; });
  // The colleague's own program connects once the broker listens again.
  for (bool listening = false; !listening && Seconds(start) < 30; Sleep(50)) {
    BrokerConnection probe(L"127.0.0.1", broker, false);
    PumpUntil([&] {
      probe.Service(GetTickCount64());
      return probe.GetState() != BrokerConnection::State::kConnecting;
    });
    listening = probe.GetState() == BrokerConnection::State::kOpen;
  }
  BrokerPeer after(broker, "benchrestart", 0, "bench-after");
  after.Up();
  bool delivered =
      after.PublishUntilTaken(OwnTopic(), after.Message(RelayName(GetCurrentUserName()), "back"));
  if (delivered) after.Next();
  table.Add("broker restart: to the next message answered through it", Seconds(start), "s");
  Close(window);
}

}  // namespace

void RunRelayBenchmarks(Table& table) {
  wchar_t text[64] = L"";
  if (GetEnvironmentVariableW(L"PARVOX_BENCH_BROKER", text, 64) == 0) return;
  uint16_t broker = static_cast<uint16_t>(_wtoi(text));
  wchar_t restart[MAX_PATH] = L"";
  GetEnvironmentVariableW(L"PARVOX_BENCH_BROKER_RESTART", restart, MAX_PATH);
  std::wstring folder = NewTempFolder();
  RoundTrips(table, folder, broker);
  ThousandRecipients(table, folder, broker);
  QueuedAtStart(table, folder, broker);
  if (restart[0] != 0) BrokerRestart(table, folder, broker, restart);
}

}  // namespace parvox::bench
