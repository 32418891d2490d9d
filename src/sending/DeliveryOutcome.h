// The one log line each recipient of the built-in send gets: delivered (with the receipts that
// came back), else the mailslot's success, else the error with its reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "network/NetworkDatagram.h"

namespace parvox {

struct DeliveryReceipt {
  std::wstring computer;
  std::wstring user;
  bool isSigned = true;  // a version-1 receipt still counts, but its line says it was not signed
};

struct OutcomeLine {
  std::wstring text;
  bool isError = false;    // the recipient got nothing at all: the log window comes up
  bool delivered = false;  // a receipt that counts came back
};

// A script's exit code for a send's lines (see ScriptExitCode).
int ExitCodeOf(const std::vector<OutcomeLine>& lines);

// Gathers, for the recipients of one send in list order, the mailslot results and the receipts
// that answer their message ids.
class DeliveryTracker {
 public:
  // Returns the recipient's index.
  size_t AddRecipient(std::wstring address, uint64_t messageId);
  // `failureReason` is appended to the error sentence when nothing else reached the recipient.
  void SetMailslotResult(size_t recipient, bool sent, std::wstring failureReason);
  // For a mailslot outcome the send words itself (nothing written, a text it refused): the line
  // the recipient gets unless a receipt came back. An empty text logs nothing.
  void SetMailslotLine(size_t recipient, OutcomeLine line);
  // False for an id this send did not use. A computer that answers twice counts once; names are
  // made safe to show. Each recipient names at most kMaxNamedComputers, and counts the rest.
  bool AddReceipt(uint64_t messageId, DeliveryReceipt receipt);
  static constexpr size_t kMaxNamedComputers = 64;
  // A receipt with a valid signature, but by another key than the one known for its computer
  // and user: it does not count, and the line says so.
  void AddOtherKeyReceipt(uint64_t messageId, DeliveryReceipt receipt);
  // Whether a receipt with a valid signature (or a version-1 one) came back, counted or not.
  bool Answered(size_t recipient) const;
  std::vector<OutcomeLine> Lines() const;

 private:
  struct Recipient {
    std::wstring address;
    bool mailslotSent = false;
    std::wstring failureReason;
    std::vector<DeliveryReceipt> receipts;  // the first computers that answered
    std::unordered_set<size_t> computers;   // a key of each computer that answered
    std::optional<OutcomeLine> mailslotLine;
    size_t unsignedReceipts = 0;
    std::optional<DeliveryReceipt> otherKey;  // the first receipt by an unexpected key
  };
  std::vector<Recipient> recipients_;
  std::unordered_map<uint64_t, size_t> byId_;

  static OutcomeLine Describe(const Recipient& recipient);
  // The line of a recipient with counted receipts; empty when there are none.
  static OutcomeLine DescribeDelivered(
      const Recipient& recipient, const std::function<std::wstring(const DeliveryReceipt&)>& who);
};

// Why a message was not sent over the network, for the log.
std::wstring NetworkRefusalReason(EncodeError error, size_t textBytes);

}  // namespace parvox
