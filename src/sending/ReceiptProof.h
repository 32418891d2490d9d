// What a receipt proves, once its signature is checked against the key known for its sender:
// one rule for the receipts a send waits for and those that come late through the relay.
#pragma once

#include <string>

#include "identity/SenderTrust.h"
#include "network/NetworkDatagram.h"
#include "sending/DeliveryOutcome.h"

namespace parvox {

struct ReceiptProof {
  bool signatureValid = false;
  // kVerified (the key known for its computer and user), kFirstContact (a key not known yet:
  // named, never remembered) or kChangedKey (not counted).
  Trust trust = Trust::kNotVerified;
  DeliveryReceipt named;
};
// Costs a signature check: call it after the cheap checks.
ReceiptProof ProveReceipt(const SignedReceipt& receipt);

// Whether a receipt names the user or computer `foldedName` (a host name by its first label).
bool ReceiptNames(const SignedReceipt& receipt, const std::wstring& foldedName);

}  // namespace parvox
