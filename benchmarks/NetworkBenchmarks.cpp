// The network path: the cost of one recipient's datagrams, a message's round trip to its receipt
// on loopback, and a send to 1,000 recipients with all their receipts.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "Benchmark.h"
#include "app/MainWindow.h"
#include "components/AnsiText.h"
#include "components/ListViewChecks.h"
#include "components/WaitSources.h"
#include "identity/KnownSenderStore.h"
#include "identity/MessageSigning.h"
#include "identity/UserKeyStore.h"
#include "log/Log.h"
#include "log/LogWindow.h"
#include "network/MessageIds.h"
#include "network/NetworkDatagram.h"
#include "network/UdpEndpoint.h"
#include "sending/MailslotSender.h"
#include "sending/NetworkDelivery.h"
#include "sending/SendCommand.h"
#include "settings/AppState.h"

namespace parvox::bench {
namespace {

constexpr int kRecipients = 1000;
const IpAddress kLoopback = Ipv4Address(0x7F000001);

std::string Settings(uint16_t port, bool internalSend) {
  return "[Settings]\r\nNetwork Port=" + std::to_string(port) +
         "\r\nInternal Send=" + (internalSend ? "1" : "0") + "\r\n";
}

void PerRecipient(Table& table) {
  const uint16_t port = FreePort();
  for (bool domain : {false, true}) {
    NetworkSend send(nullptr, port, {}, L"benchmark", L"Benchmark message to every recipient.");
    LARGE_INTEGER start = Now();
    for (int i = 0; i < kRecipients; ++i)
      send.AddRecipient(domain ? L"WORKGROUP" : L"127.0.0.1", domain);
    std::string name = domain ? "network path per recipient, domain (subnet broadcasts)"
                              : "network path per recipient, IP address (no name resolution)";
    table.Add(name, Seconds(start) * 1000.0 / kRecipients, "ms");
    table.Goal(name, 0.1);
  }
  // Part of the above: the signature each recipient's datagram gets.
  const SigningKey* key = UserSigningKey();
  std::string datagram(300, 'x');
  LARGE_INTEGER start = Now();
  for (int i = 0; i < kRecipients; ++i)
    datagram[i % 300] = static_cast<char>(key->Sign(datagram)[0]);
  table.Add("signing one recipient's datagram (part of the rows above)",
            Seconds(start) * 1000.0 / kRecipients, "ms");
  table.Goal("signing one recipient's datagram (part of the rows above)", 0.1);
}

// A signed message from a peer's own key, as another Parvox would send it.
std::string SignedFromPeer(const SigningKey& key, uint64_t id, const std::string& text) {
  std::string bytes = SignedPart(
      SignedMessage{id, SecondsSince1970(), key.PublicKey(), "benchmark", "*", "PEER", text, {}});
  return bytes + key.Sign(bytes);
}

void MessageToReceipt(Table& table, const std::wstring& folder) {
  const uint16_t port = FreePort();
  WriteFileBytes(folder + L"Address Book.ini", Settings(port, false));
  auto window = std::make_unique<MainWindow>();
  window->Create(L"", folder + L"parvox.exe");
  UdpEndpoint peer;
  peer.Open(0);
  std::unique_ptr<SigningKey> peerKey = SigningKey::Generate();
  std::vector<double> times;
  for (int round = 0; round < 5; ++round) {
    // A fresh receiver each 20 messages: its per-source limit is not what is measured here.
    App().receiveMessages = false;
    window->ApplyReceiveOption();
    App().receiveMessages = true;
    window->ApplyReceiveOption();
    for (int i = 0; i < 20; ++i) {
      uint64_t id = NewMessageId();
      std::string bytes = SignedFromPeer(*peerKey, id, "Round trip");
      LARGE_INTEGER start = Now();
      peer.SendTo({kLoopback, port}, bytes);
      bool answered = false;
      while (!answered && Seconds(start) < 5) {
        PumpMessages();
        while (std::optional<ReceivedDatagram> datagram = peer.Receive()) {
          DecodedDatagram decoded = DecodeNetworkDatagram(datagram->bytes);
          auto* receipt = std::get_if<SignedReceipt>(&decoded);
          answered = answered || (receipt != nullptr && receipt->id == id &&
                                  VerifySignature(receipt->publicKey, SignedPart(*receipt),
                                                  receipt->signature));
        }
        HANDLE arrived = peer.Event();
        if (!answered) MsgWaitForMultipleObjects(1, &arrived, FALSE, 1, QS_ALLINPUT);
      }
      times.push_back(Seconds(start) * 1000.0);
    }
  }
  std::sort(times.begin(), times.end());
  table.Add("signed message to verified receipt on loopback (median of 100)",
            times[times.size() / 2], "ms");
  table.Goal("signed message to verified receipt on loopback (median of 100)", 5);
  DestroyWindow(window->Handle());
  PumpMessages();
}

void ThousandRecipients(Table& table, const std::wstring& folder) {
  // A plain socket plays the 1,000 answering programs: a real receiver would limit one source.
  UdpEndpoint peer;
  peer.Open(0);
  std::unique_ptr<SigningKey> peerKey = SigningKey::Generate();
  // A colleague whose key is known: only such receipts read "delivered".
  const std::string peerName = "PEER" + std::to_string(GetTickCount64());
  ReplaceSenderKey(SenderName(FromAnsi(peerName), L"peer"), peerKey->PublicKey());
  AddWaitSource(peer.Event(), [&] { AnswerSignedMessages(peer, *peerKey, peerName); });
  const std::string address = "127.0.0.1:" + std::to_string(peer.Port());
  std::string book = "[Addresses]\r\nTotal=" + std::to_string(kRecipients) + "\r\n";
  for (int i = 1; i <= kRecipients; ++i) {
    book += "Address[" + std::to_string(100000 + i).substr(1) + "]=ADDRESS=" + address +
            "|DESCRIPTION=peer|TYPE=0\r\n";
  }
  WriteFileBytes(folder + L"Address Book.ini", book + Settings(FreePort(), true));
  auto window = std::make_unique<MainWindow>();
  window->Create(L"", folder + L"parvox.exe");
  const size_t logBefore = LogText().size();
  auto [seconds, longestMs] =
      SendToEveryRow(*window, kRecipients, L"Benchmark message to every recipient.");
  size_t delivered = Count(LogText().substr(logBefore), L"Message delivered");
  table.Add("1000 recipients with signed receipts: send to last log line", seconds, "s");
  table.Goal("1000 recipients with signed receipts: send to last log line", 3);
  table.Add("1000 recipients: lines reading delivered", static_cast<double>(delivered), "count");
  table.Add("1000 recipients: longest time the window did not answer", longestMs, "ms");
  table.Goal("1000 recipients: longest time the window did not answer", 100);
  RemoveWaitSource(peer.Event());
  DestroyWindow(window->Handle());
  PumpMessages();
}

}  // namespace

void AnswerSignedMessages(UdpEndpoint& peer, const SigningKey& key, const std::string& computer) {
  while (std::optional<ReceivedDatagram> datagram = peer.Receive()) {
    DecodedDatagram decoded = DecodeNetworkDatagram(datagram->bytes);
    if (auto* message = std::get_if<SignedMessage>(&decoded)) {
      std::string receipt = EncodeSignedReceipt({message->id,
                                                 SecondsSince1970(),
                                                 Sha256(datagram->bytes),
                                                 key.PublicKey(),
                                                 computer,
                                                 "peer",
                                                 {}});
      peer.SendTo(datagram->source, receipt + key.Sign(receipt));
    }
  }
}

void RunNetworkBenchmarks(Table& table) {
  std::wstring folder = NewTempFolder();
  PerRecipient(table);
  MessageToReceipt(table, folder);
  ThousandRecipients(table, folder);
}

}  // namespace parvox::bench
