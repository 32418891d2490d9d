// Acknowledgements checked, logged and kept.
#include "sending/AwaitedAcknowledgements.h"

#include "components/AnsiText.h"
#include "components/LocalTime.h"
#include "components/UserDataFolder.h"
#include "components/VisibleText.h"
#include "identity/MessageSigning.h"
#include "sending/ReceiptProof.h"
#include "settings/Win32SettingsFiles.h"

namespace parvox {
namespace {

// What the window keeps across a restart: the ledger's bound, well within this.
constexpr size_t kMaxFileBytes = 64 << 20;

std::wstring LedgerFile() { return UserDataFile(L"Awaited Acknowledgements.dat"); }

}  // namespace

AcknowledgementLedger& WindowAcknowledgements() {
  static AcknowledgementLedger ledger;
  return ledger;
}

std::optional<std::wstring> TakeAcknowledgement(AcknowledgementLedger& ledger,
                                                const SignedReceipt& acknowledgement) {
  AcknowledgementRequest* request = ledger.Find(acknowledgement.id);
  // Cheap checks first: another message's digest, a name it may not answer for, no checks left.
  if (request == nullptr || acknowledgement.messageDigest != request->digest ||
      request->checksLeft == 0 ||
      (!request->name.empty() && !ReceiptNames(acknowledgement, request->name))) {
    return std::nullopt;
  }
  --request->checksLeft;
  ReceiptProof proof = ProveReceipt(acknowledgement);
  if (!proof.signatureValid) return std::nullopt;
  const DeliveryReceipt& named = proof.named;
  std::wstring who = ShownName(named.user.empty() ? request->address : named.user) + L" (" +
                     ShownName(named.computer) + L")";
  std::wstring sentTime = LocalTimeText(request->sentAt);
  std::wstring message = L"your message of " + sentTime + L" to " + request->address;
  if (proof.trust == Trust::kFirstContact) {
    return L"An acknowledgement of " + message + L" came from " + who +
           L" with a key not known here yet (" + named.fingerprint +
           L"), so it does not prove it was them.";
  }
  if (proof.trust != Trust::kVerified) {
    return L"An acknowledgement of " + message + L" came from " + who +
           L" with another key than the one known for them, so it does not count.";
  }
  uint64_t send = request->send;
  if (!ledger.Acknowledge(acknowledgement.id, {named.sender, who})) return std::nullopt;
  std::wstring line = AcknowledgedLine(who, sentTime, LocalTimeText(acknowledgement.sentAt));
  if (ledger.TakeIfComplete(send)) line += L"\r\n" + OutstandingLine(sentTime, {});
  return line;
}

std::vector<std::wstring> AwaitedAcknowledgementLines(const AcknowledgementLedger& ledger) {
  std::vector<std::wstring> lines;
  for (const AcknowledgementLedger::SendState& send : ledger.Sends()) {
    lines.push_back(OutstandingLine(LocalTimeText(send.sentAt), send.outstanding));
  }
  if (lines.empty()) lines.push_back(kNothingAwaitsAcknowledgement);
  return lines;
}

std::vector<std::wstring> TakeExpiredAcknowledgementLines(AcknowledgementLedger& ledger) {
  std::vector<std::wstring> lines;
  for (const AcknowledgementLedger::SendState& send : ledger.TakeExpired(SecondsSince1970())) {
    lines.push_back(ExpiredUnacknowledgedLine(LocalTimeText(send.sentAt), send.outstanding));
  }
  return lines;
}

void LoadWindowAcknowledgements() {
  WindowAcknowledgements() = {};
  std::wstring path = LedgerFile();
  std::string bytes;
  Win32SettingsFiles files;
  if (path.empty() || !files.ReadAll(path, bytes) || bytes.size() > kMaxFileBytes) return;
  for (AcknowledgementRequest& request : DecodeAcknowledgementRequests(bytes)) {
    WindowAcknowledgements().Await(std::move(request));
  }
}

void SaveWindowAcknowledgements() {
  std::wstring path = LedgerFile();
  if (path.empty()) return;
  std::string bytes;
  for (const auto& [id, request] : WindowAcknowledgements().Requests()) {
    bytes += EncodeAcknowledgementRequest(request);
  }
  Win32SettingsFiles files;
  FileStamp written;
  files.ReplaceAtomically(path, bytes, written);
}

}  // namespace parvox
