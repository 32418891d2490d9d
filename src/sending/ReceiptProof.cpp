// Receipts checked against the keys known now.
#include "sending/ReceiptProof.h"

#include "components/AnsiText.h"
#include "identity/KnownSenderStore.h"
#include "identity/MessageSigning.h"

namespace parvox {

ReceiptProof ProveReceipt(const SignedReceipt& receipt) {
  ReceiptProof proof;
  proof.signatureValid = VerifySignature(receipt.publicKey, SignedPart(receipt), receipt.signature);
  if (!proof.signatureValid) return proof;
  DeliveryReceipt& named = proof.named;
  named = {FromUtf8(receipt.computer), FromUtf8(receipt.user), {}, receipt.publicKey};
  named.sender = SenderName(named.computer, named.user);
  // Read from the store now: another Parvox of this user may have learnt the key meanwhile. A
  // receipt never teaches a key: only a message the user is shown, or the administrator, does.
  proof.trust =
      DecideReceiptTrust(named.sender, receipt.publicKey, KnownSenderKeys(named.sender)).trust;
  named.keyKnown = proof.trust == Trust::kVerified;
  if (!named.keyKnown) named.fingerprint = KeyFingerprint(receipt.publicKey);
  return proof;
}

bool ReceiptNames(const SignedReceipt& receipt, const std::wstring& foldedName) {
  std::wstring computer = FoldedName(FromUtf8(receipt.computer));
  // A host name's first label is the computer's own name on an ordinary network.
  std::wstring_view host = std::wstring_view(foldedName).substr(0, foldedName.find(L'.'));
  return FoldedName(FromUtf8(receipt.user)) == foldedName || computer == foldedName ||
         computer == host;
}

}  // namespace parvox
