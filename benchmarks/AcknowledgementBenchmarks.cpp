// Acknowledgements: a person's press of Acknowledge to the sender's log line, and 1,000
// recipients acknowledging one message at once.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Benchmark.h"
#include "app/MainWindow.h"
#include "components/AnsiText.h"
#include "components/ListViewChecks.h"
#include "components/UserDataFolder.h"
#include "components/WaitSources.h"
#include "identity/KnownSenderStore.h"
#include "identity/MessageSigning.h"
#include "log/LogWindow.h"
#include "network/NetworkDatagram.h"
#include "network/UdpEndpoint.h"
#include "receiving/MessagePopup.h"
#include "sending/AwaitedAcknowledgements.h"
#include "sending/NetworkDelivery.h"

namespace parvox::bench {
namespace {

constexpr int kRounds = 100;
constexpr int kRecipients = 1000;

std::unique_ptr<MainWindow> StartWindow(const std::wstring& folder, const std::string& book) {
  WriteFileBytes(folder + L"Address Book.ini",
                 book + "[Settings]\r\nInternal Send=1\r\nNetwork Port=" +
                     std::to_string(FreePort()) + "\r\n");
  // What earlier runs left awaiting is not this run's.
  DeleteFileW(UserDataFile(L"Awaited Acknowledgements.dat").c_str());
  auto window = std::make_unique<MainWindow>();
  window->Create(L"", folder + L"parvox.exe");
  return window;
}

HWND OpenPopup() {
  HWND popup = nullptr;
  PumpUntil([&] {
    popup = FindWindowW(L"ParvoxMessage", nullptr);
    return popup != nullptr;
  });
  return popup;
}

// The window sends to this computer and shows its own message: the press of Acknowledge goes
// the whole way, signed, over UDP, to the sender's check and its log line.
void RoundTrip(Table& table, const std::wstring& folder) {
  auto window =
      StartWindow(folder, "[Addresses]\r\nTotal=1\r\nAddress[00001]=ADDRESS=.|TYPE=0\r\n");
  SetItemChecked(window->AddressList(), 0, true);
  std::vector<double> times;
  for (int i = 0; i < kRounds; ++i) {
    SetWindowTextW(window->Control(kIdTxtMsg),
                   (L"Please acknowledge " + std::to_wstring(i)).c_str());
    SendMessageW(window->Handle(), WM_COMMAND, kMSendAcknowledged, 0);
    HWND popup = OpenPopup();
    const size_t before = Count(LogText(), L"acknowledged your message of");
    LARGE_INTEGER start = Now();
    SendMessageW(popup, WM_COMMAND, MessagePopup::kCmdAcknowledge, 0);
    PumpUntil([&] { return Count(LogText(), L"acknowledged your message of") > before; });
    times.push_back(Seconds(start) * 1000.0);
    PumpUntil([] { return !ReceiptsPending(); });
    Sleep(100);  // within the receiving budget's pace, which is not what is measured
  }
  std::sort(times.begin(), times.end());
  table.Add("acknowledgement: button press to the sender's log line (median of 100)",
            times[times.size() / 2], "ms");
  DestroyWindow(window->Handle());
  PumpMessages();
}

// One program plays the 1,000 recipients: it answers each message with a receipt, and once the
// send has ended acknowledges them all at once.
void ThousandAcknowledge(Table& table, const std::wstring& folder) {
  UdpEndpoint peer;
  peer.Open(0, 4 << 20);
  std::unique_ptr<SigningKey> peerKey = SigningKey::Generate();
  const std::string peerName = "PEER" + std::to_string(GetTickCount64());
  ReplaceSenderKey(SenderName(FromAnsi(peerName), L"peer"), peerKey->PublicKey());
  // On a thread of its own, as the 1,000 programs would be: tied to the window's turns, its
  // socket would overflow while the window sends.
  std::vector<std::pair<NetworkEndpoint, SignedReceipt>> toAcknowledge;
  std::atomic<bool> sent{false};
  std::thread answering([&] {
    while (!sent || WaitForSingleObject(peer.Event(), 0) == WAIT_OBJECT_0) {
      WaitForSingleObject(peer.Event(), 20);
      while (std::optional<ReceivedDatagram> datagram = peer.Receive()) {
        DecodedDatagram decoded = DecodeNetworkDatagram(datagram->bytes);
        auto* message = std::get_if<SignedMessage>(&decoded);
        if (message == nullptr) continue;
        SignedReceipt answer{message->id,
                             SecondsSince1970(),
                             Sha256(datagram->bytes),
                             peerKey->PublicKey(),
                             peerName,
                             "peer",
                             {}};
        std::string receipt = EncodeSignedReceipt(answer);
        peer.SendTo(datagram->source, receipt + peerKey->Sign(receipt));
        answer.kind = NetworkKind::kAcknowledgement;
        toAcknowledge.emplace_back(datagram->source, answer);
      }
    }
  });
  const std::string address = "127.0.0.1:" + std::to_string(peer.Port());
  std::string book = "[Addresses]\r\nTotal=" + std::to_string(kRecipients) + "\r\n";
  for (int i = 1; i <= kRecipients; ++i) {
    book += "Address[" + std::to_string(100000 + i).substr(1) + "]=ADDRESS=" + address +
            "|DESCRIPTION=peer|TYPE=0\r\n";
  }
  auto window = StartWindow(folder, book);
  for (int row = 0; row < kRecipients; ++row) SetItemChecked(window->AddressList(), row, true);
  SetWindowTextW(window->Control(kIdTxtMsg), L"Benchmark: acknowledge this.");
  const double workingSetBefore = WorkingSetMegabytes();
  SendMessageW(window->Handle(), WM_COMMAND, kMSendAcknowledged, 0);
  PumpUntil([] { return !ReceiptsPending(); });
  const size_t awaited = WindowAcknowledgements().Requests().size();
  sent = true;
  answering.join();

  // Signed beforehand: the peer's cost is not the window's.
  std::vector<std::pair<NetworkEndpoint, std::string>> acknowledgements;
  for (auto& [source, answer] : toAcknowledge) {
    std::string bytes = EncodeSignedReceipt(answer);
    acknowledgements.emplace_back(source, bytes + peerKey->Sign(bytes));
  }
  // People press the button within a second or so of each other, not in the same microsecond.
  ResponsivenessWatch watch(window->Handle());
  LARGE_INTEGER start = Now();
  FloodAndSettle([&] {
    for (size_t i = 0; i < acknowledgements.size(); ++i) {
      peer.SendTo(acknowledgements[i].first, acknowledgements[i].second);
      if (i % 20 == 19) Sleep(20);
    }
  });
  // The ledger lets the send go with the line that everyone acknowledged; reading the whole log
  // each time round would cost the window more than the acknowledgements do.
  PumpUntil([] { return WindowAcknowledgements().Empty(); }, 60);
  const double seconds = Seconds(start);
  const double longestMs = watch.StopAndTakeLongestMs();
  table.Add("1000 acknowledgements over a second: first one to the line that everyone acknowledged",
            seconds, "s");
  table.Add(
      "1000 acknowledgements: lines logged",
      static_cast<double>(Count(LogText(), L"peer (" + FromAnsi(peerName) + L") acknowledged")),
      "count");
  table.Add("1000 acknowledgements: longest time the window did not answer", longestMs, "ms");
  table.Goal("1000 acknowledgements: longest time the window did not answer", 100);
  table.Add("1000 acknowledgements: messages awaited (the sender keeps at most 4096)",
            static_cast<double>(awaited), "count");
  table.Add("1000 acknowledgements: working set grown by the send and its acknowledgements",
            WorkingSetMegabytes() - workingSetBefore, "MB");
  table.Add("1000 acknowledgements: messages still awaited afterwards",
            static_cast<double>(WindowAcknowledgements().Requests().size()), "count");
  DestroyWindow(window->Handle());
  PumpMessages();
}

}  // namespace

void RunAcknowledgementBenchmarks(Table& table) {
  std::wstring folder = NewTempFolder();
  RoundTrip(table, folder);
  ThousandAcknowledge(table, folder);
}

}  // namespace parvox::bench
