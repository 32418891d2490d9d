// What a send leaves behind for receipts that may come later through the relay, as a record a
// script's send writes and the window reads: the message's id, digest and times, and whom it
// went to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace parvox {

struct AwaitedReceiptRecord {
  uint64_t id = 0;
  std::string digest;   // SHA-256 of the message's datagram, 32 bytes
  std::string address;  // UTF-8, as the log line names the recipient; at most 1,024 bytes
  std::string name;     // UTF-8, folded; empty for a domain
  uint64_t sentAt = 0, expiresAt = 0;  // seconds since 1970
  bool operator==(const AwaitedReceiptRecord&) const = default;
};

// Empty for a record that breaks the limits above.
std::string EncodeAwaitedReceipt(const AwaitedReceiptRecord& record);
// The whole records at the front of `bytes`; a damaged or cut record ends the reading.
std::vector<AwaitedReceiptRecord> DecodeAwaitedReceipts(std::string_view bytes);

}  // namespace parvox
