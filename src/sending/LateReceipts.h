// Receipts that come through the relay after their send has ended: the recipient was away, the
// relay held the message, and their Parvox showed it on its return. The window keeps what each
// ended send still waits for, as long as its message may live, and logs the receipt when it
// comes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "network/NetworkDatagram.h"

namespace parvox {

struct AwaitedReceipt {
  uint64_t id = 0;
  std::string digest;    // of the message's datagram
  std::wstring address;  // as the log line names the recipient
  std::wstring name;     // folded user or computer name; empty for a domain, which anyone in it
                         // may answer
  uint64_t sentAt = 0, expiresAt = 0;  // seconds since 1970
};

// At most this many are awaited; a new one then replaces the one expiring first.
inline constexpr size_t kMaxAwaitedReceipts = 4096;
void AwaitLateReceipt(AwaitedReceipt awaited);
// Logs the receipt's line and returns true when it answers an awaited message, also one that a
// script's send left for the window (below). A user's or computer's message is then no longer
// awaited; a domain's stays for the others in it.
bool TakeLateReceipt(const SignedReceipt& receipt);

// For a script's send, which ends before such receipts can come: kept for the window in this
// user's file (%LOCALAPPDATA%\Parvox\Awaited Receipts.dat), which holds what has not expired.
void LeaveLateReceiptForTheWindow(const AwaitedReceipt& awaited);

}  // namespace parvox
