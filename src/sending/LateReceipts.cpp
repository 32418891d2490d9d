// The awaited late receipts, bounded, and their log lines.
#include "sending/LateReceipts.h"

#include <algorithm>
#include <map>

#include "components/LocalTime.h"
#include "components/VisibleText.h"
#include "identity/MessageSigning.h"
#include "log/Log.h"
#include "sending/ReceiptProof.h"

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

}  // namespace parvox
