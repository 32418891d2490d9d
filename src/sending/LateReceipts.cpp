// The awaited late receipts, bounded, and their log lines.
#include "sending/LateReceipts.h"

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "components/AnsiText.h"
#include "components/LocalTime.h"
#include "components/UserDataFolder.h"
#include "components/VisibleText.h"
#include "identity/MessageSigning.h"
#include "identity/UserLock.h"
#include "log/Log.h"
#include "sending/AwaitedReceiptRecords.h"
#include "sending/ReceiptProof.h"
#include "settings/Win32SettingsFiles.h"

namespace parvox {
namespace {

struct Awaited {
  AwaitedReceipt receipt;
  // Each costs a signature check, and anyone with broker access may send receipts that name
  // it: a message's own allowance, as during the send.
  size_t checksLeft = 16;
};

std::map<uint64_t, Awaited>& AwaitedById() {
  static std::map<uint64_t, Awaited> awaited;
  return awaited;
}

// The file scripts leave their awaited receipts in, kept under this bound by the script that
// would pass it (the window only reads it).
constexpr size_t kMaxAwaitedFileBytes = 1 << 20;

std::wstring AwaitedFile() { return UserDataFile(L"Awaited Receipts.dat"); }

AwaitedReceiptRecord ToRecord(const AwaitedReceipt& awaited) {
  return {awaited.id,           awaited.digest, ToUtf8(awaited.address),
          ToUtf8(awaited.name), awaited.sentAt, awaited.expiresAt};
}

// Takes what scripts left since the file was last read: each record once, however often the
// file is read again.
void ReadWhatScriptsLeft() {
  static FileStamp read;
  static std::set<uint64_t> loaded;
  std::wstring path = AwaitedFile();
  Win32SettingsFiles files;
  FileStamp stamp = files.Stamp(path);
  std::string bytes;
  if (path.empty() || !stamp.exists || stamp == read || !files.ReadAll(path, bytes)) return;
  read = stamp;
  uint64_t now = SecondsSince1970();
  for (const AwaitedReceiptRecord& record : DecodeAwaitedReceipts(bytes)) {
    if (record.expiresAt < now || !loaded.insert(record.id).second) continue;
    AwaitLateReceipt({record.id, record.digest, FromUtf8(record.address), FromUtf8(record.name),
                      record.sentAt, record.expiresAt});
  }
  // Bounded as the file is: ids that can no longer be in it go.
  if (loaded.size() > 4 * kMaxAwaitedReceipts) loaded.clear();
}

void ForgetExpired(uint64_t now) {
  std::erase_if(AwaitedById(),
                [now](const auto& entry) { return entry.second.receipt.expiresAt < now; });
}

}  // namespace

void AwaitLateReceipt(AwaitedReceipt awaited) {
  auto& all = AwaitedById();
  ForgetExpired(SecondsSince1970());
  if (all.size() >= kMaxAwaitedReceipts) {
    all.erase(std::min_element(all.begin(), all.end(), [](const auto& a, const auto& b) {
      return a.second.receipt.expiresAt < b.second.receipt.expiresAt;
    }));
  }
  uint64_t id = awaited.id;
  size_t checks = awaited.name.empty() ? 1024 : 16;
  all[id] = {std::move(awaited), checks};
}

bool TakeLateReceipt(const SignedReceipt& receipt) {
  auto& all = AwaitedById();
  auto found = all.find(receipt.id);
  if (found == all.end()) {
    ReadWhatScriptsLeft();
    found = all.find(receipt.id);
  }
  if (found == all.end()) return false;
  Awaited& awaited = found->second;
  // Cheap checks first: another message's digest, a name it may not answer for, no checks left.
  if (receipt.messageDigest != awaited.receipt.digest || awaited.checksLeft == 0 ||
      (!awaited.receipt.name.empty() && !ReceiptNames(receipt, awaited.receipt.name))) {
    return false;
  }
  --awaited.checksLeft;
  ReceiptProof proof = ProveReceipt(receipt);
  if (!proof.signatureValid || proof.trust == Trust::kChangedKey) return true;
  const AwaitedReceipt& sent = awaited.receipt;
  std::wstring who = ShownName(proof.named.user.empty() ? sent.address : proof.named.user) + L" (" +
                     ShownName(proof.named.computer) + L")";
  std::wstring when = L"your message of " + LocalTimeText(sent.sentAt);
  if (proof.trust == Trust::kVerified) {
    AppendLog(false, L"Message delivered to " + who + L" through the relay: " + when +
                         L", which the relay held, was shown at " + LocalTimeText(receipt.sentAt) +
                         L".");
  } else {
    AppendLog(false, L"A late receipt for " + when + L" to " + sent.address + L" came from " + who +
                         L" with a key not known here yet (" + proof.named.fingerprint +
                         L"), so it does not prove it was them.");
  }
  if (!sent.name.empty()) all.erase(found);
  return true;
}

void LeaveLateReceiptForTheWindow(const AwaitedReceipt& awaited) {
  std::wstring path = AwaitedFile();
  std::string record = EncodeAwaitedReceipt(ToRecord(awaited));
  if (path.empty() || record.empty()) return;
  // Two scripts at once must not write over each other's records.
  UserLock lock(L"awaited receipts");
  if (!lock.Held()) return;
  Win32SettingsFiles files;
  std::string bytes;
  files.ReadAll(path, bytes);
  if (bytes.size() + record.size() > kMaxAwaitedFileBytes) {
    // Written anew with what may still come, the newest first to stay.
    std::vector<AwaitedReceiptRecord> kept = DecodeAwaitedReceipts(bytes);
    uint64_t now = SecondsSince1970();
    std::erase_if(kept, [now](const auto& r) { return r.expiresAt < now; });
    size_t room = kMaxAwaitedFileBytes / 2, first = kept.size();
    for (size_t size = 0; first > 0; --first) {
      size += EncodeAwaitedReceipt(kept[first - 1]).size();
      if (size > room) break;
    }
    bytes.clear();
    for (size_t i = first; i < kept.size(); ++i) bytes += EncodeAwaitedReceipt(kept[i]);
  }
  FileStamp written;
  files.ReplaceAtomically(path, bytes + record, written);
}

}  // namespace parvox
