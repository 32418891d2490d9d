// Sending from a script: from its own ephemeral port, so that it works beside a running Parvox.
#include "sending/ScriptSend.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "components/AnsiText.h"
#include "components/ScriptConsole.h"
#include "components/WaitSources.h"
#include "identity/ThisComputer.h"
#include "identity/UserSecret.h"
#include "log/Log.h"
#include "network/NetworkAddress.h"
#include "relay/RelaySetup.h"
#include "sending/AwaitedAcknowledgements.h"
#include "sending/BuiltInSend.h"
#include "sending/NetworkDelivery.h"
#include "settings/AppState.h"

namespace parvox {
namespace {

// Far more than a datagram carries, so that a longer text is refused with its length.
constexpr size_t kMaxInputBytes = 1 << 20;

// Takes the one line end a piped file or `echo` leaves at the end.
void DropFinalLineEnd(std::wstring& text) {
  if (!text.empty() && text.back() == L'\n') text.pop_back();
  if (!text.empty() && text.back() == L'\r') text.pop_back();
}

// A computer keeps the datagrams that reach it in its socket's buffer until its Parvox reads
// them, and drops what does not fit: a walk to many recipients at one address outruns it, and a
// dropped message is never answered. So at most kAwaitedBytes of messages sent straight to one
// address await their receipts; the walk waits for one when that many do, and when none comes
// within kAwayAfterMs it takes that address for away, whose messages then hold it up no more.
constexpr size_t kAwaitedBytes = 16 * 1024;  // well within a socket buffer shared with others
constexpr ULONGLONG kAwayAfterMs = 100;
constexpr size_t kDatagramBytesBesidesText = 300;  // the fixed fields, the key and the names

class Pacing {
 public:
  Pacing(NetworkSend& send, const std::wstring& text)
      : send_(send),
        perAddress_(std::max<size_t>(
            1, kAwaitedBytes / (ToUtf8(text).size() + kDatagramBytesBesidesText))) {}

  // Reads receipts until a message to `destination` may go out.
  void WaitForRoom(const NetworkEndpoint& destination) {
    auto found = awaited_.find(destination);
    if (found == awaited_.end() || away_.count(destination) > 0) return;
    std::vector<size_t>& awaited = found->second;
    ULONGLONG giveUp = GetTickCount64() + kAwayAfterMs;
    for (;;) {
      std::erase_if(awaited,
                    [this](size_t recipient) { return send_.Tracker().Answered(recipient); });
      ULONGLONG now = GetTickCount64();
      if (awaited.size() < perAddress_) return;
      if (now >= giveUp) {
        away_.insert(destination);
        awaited.clear();
        return;
      }
      RunWaitSources(static_cast<DWORD>(giveUp - now));
    }
  }

  void Sent(const NetworkEndpoint& destination, size_t recipient) {
    awaited_[destination].push_back(recipient);
  }

 private:
  NetworkSend& send_;
  size_t perAddress_;
  std::map<NetworkEndpoint, std::vector<size_t>> awaited_;
  std::set<NetworkEndpoint> away_;
};

// Where the message to `recipient` goes straight to, when its address says so without a lookup.
std::optional<NetworkEndpoint> DirectDestination(const ScriptRecipient& recipient, uint16_t port) {
  if (recipient.domain) return std::nullopt;
  RecipientAddress parsed = ParseRecipientAddress(recipient.address);
  if (parsed.kind != RecipientAddress::Kind::kLiteral &&
      parsed.kind != RecipientAddress::Kind::kThisComputer) {
    return std::nullopt;
  }
  return NetworkEndpoint{parsed.literal, parsed.port != 0 ? parsed.port : port};
}

// Runs the wait sources until everyone has acknowledged (the ledger let the send go) or the time
// is up.
bool WaitForAcknowledgements(const AcknowledgementLedger& ledger, ULONGLONG waitMs) {
  ULONGLONG end = GetTickCount64() + waitMs;
  for (ULONGLONG now = GetTickCount64(); !ledger.Empty() && now < end; now = GetTickCount64()) {
    RunWaitSources(static_cast<DWORD>(std::min<ULONGLONG>(end - now, 60000)));
  }
  return ledger.Empty();
}

// Runs the wait sources until every unicast recipient has answered or the time is up.
void WaitForAnswers(NetworkSend& send, DWORD waitMs) {
  if (!send.StartWaiting()) return;
  ULONGLONG end = GetTickCount64() + waitMs;
  for (ULONGLONG now = GetTickCount64(); !send.AllAnswered() && now < end; now = GetTickCount64()) {
    RunWaitSources(static_cast<DWORD>(end - now));
  }
}

// The first line of standard input, kept for this Windows user alone; never echoed or logged.
int StoreRelayPassword(ScriptConsole& console) {
  std::optional<std::wstring> input = console.ReadInput(4096);
  if (!input) {
    console.Err(L"No password could be read from standard input (at most 4 KB).\r\n");
    return kExitBadCommand;
  }
  std::wstring password = input->substr(0, input->find_first_of(L"\r\n"));
  if (!StoreUserSecret(kRelayPasswordValue, ToUtf8(password))) {
    console.Err(L"The relay password could not be kept for this Windows user.\r\n");
    return kExitNotReached;
  }
  console.Out(password.empty() ? L"The relay password was removed.\r\n"
                               : L"The relay password is kept for this Windows user.\r\n");
  return kExitDelivered;
}

}  // namespace

int RunScriptCommand(const ScriptCommand& command, const std::wstring& modulePath) {
  ScriptConsole console;
  if (command.kind == ScriptCommand::Kind::kUsage) {
    console.Out(ScriptUsage());
    return kExitDelivered;
  }
  if (command.kind == ScriptCommand::Kind::kRelayPassword) return StoreRelayPassword(console);
  if (command.kind != ScriptCommand::Kind::kSend) {
    console.Err(command.error + L"\r\n\r\n" + ScriptUsage());
    return kExitBadCommand;
  }
  std::wstring text = command.message;
  if (command.messageFromInput) {
    std::optional<std::wstring> input = console.ReadInput(kMaxInputBytes);
    if (input) DropFinalLineEnd(*input);
    if (!input || input->empty()) {
      console.Err(input ? L"The message read from standard input is empty.\r\n"
                        : L"No message could be read from standard input (at most 1 MB).\r\n");
      return kExitBadCommand;
    }
    text = *input;
  }

  LoadSettings(modulePath);
  // What the window would log (a refusal, a failed key) goes to standard error instead.
  RedirectLog([&console](const std::wstring& line) { console.Err(line + L"\r\n"); });
  std::vector<OutcomeLine> lines;
  std::vector<std::wstring> acknowledgements;  // their lines, as they came
  bool everyoneAcknowledged = false;
  {
    std::wstring user = GetCurrentUserName();
    DWORD waitMs = command.waitSeconds * 1000;
    AcknowledgementLedger ledger;  // outlives the send, which refers to it
    NetworkSend send(nullptr, App().networkPort, App().trustedNetworks, user, text, waitMs);
    send.ExpireAfterMinutes(command.expireMinutes);
    if (command.urgent || command.acknowledgeMinutes > 0) {
      send.AskForAcknowledgement(
          (command.urgent ? kOptionUrgent : 0) | kOptionAcknowledgementRequested, ledger,
          [&acknowledgements](const std::wstring& line) { acknowledgements.push_back(line); });
    }
    // A session of its own at the relay, for this send's receipts; gone before the send is.
    std::unique_ptr<RelayClient> relay;
    if (std::optional<RelayServer> server = ConfiguredRelayServer()) {
      relay = OpenSendRelay(*server, [&send, &relay](RelayMessage message) {
        DecodedDatagram decoded = DecodeNetworkDatagram(message.payload);
        if (const auto* receipt = std::get_if<SignedReceipt>(&decoded)) {
          send.OnReceipt(*receipt, RelaySourceAddress());
        }
        if (relay != nullptr) relay->Acknowledge(message.receipt);
      });
      if (relay != nullptr) send.UseRelay(relay.get(), false);
    }
    Pacing pacing(send, text);
    ULONGLONG answered = GetTickCount64();
    for (size_t index = 0; index < command.recipients.size(); ++index) {
      const ScriptRecipient& recipient = command.recipients[index];
      if (GetTickCount64() - answered >= kKeepAnsweringEveryMs) {
        ServiceWaitSources();
        answered = GetTickCount64();
      }
      std::optional<NetworkEndpoint> destination = DirectDestination(recipient, App().networkPort);
      if (destination) pacing.WaitForRoom(*destination);
      // The tracker numbers the recipients in the order they are added.
      AddBuiltInRecipient(send, user, text, recipient.address, recipient.domain, command.mailslot);
      if (destination) pacing.Sent(*destination, index);
    }
    WaitForAnswers(send, waitMs);
    lines = send.Tracker().Lines();
    send.AwaitLateReceipts();
    send.NoteWhoShowedIt();
    if (command.acknowledgeMinutes > 0) {
      send.StopWaiting();
      // Not past the message's expiry, after which no one can acknowledge it.
      unsigned minutes = std::min(command.acknowledgeMinutes, command.expireMinutes);
      everyoneAcknowledged = WaitForAcknowledgements(ledger, ULONGLONG{minutes} * 60000);
      if (!everyoneAcknowledged) {
        for (const std::wstring& line : AwaitedAcknowledgementLines(ledger)) {
          acknowledgements.push_back(line);
        }
      }
    }
  }
  RedirectLog({});
  for (const OutcomeLine& line : lines) {
    if (!command.quiet && !line.text.empty()) console.Out(line.text + L"\r\n");
  }
  for (const std::wstring& line : acknowledgements) {
    if (!command.quiet) console.Out(line + L"\r\n");
  }
  return command.acknowledgeMinutes > 0 ? ExitCodeOf(lines, everyoneAcknowledged)
                                        : ExitCodeOf(lines);
}

}  // namespace parvox
