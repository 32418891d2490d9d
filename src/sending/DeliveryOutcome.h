// The one log line each recipient of the built-in send gets: delivered (with the receipts that
// came back), else the mailslot's success, else the error with its reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "network/NetworkDatagram.h"
#include "sending/AcknowledgementLedger.h"

namespace parvox {

// A receipt whose signature is valid and that answers the message sent. Signed with the key known
// for its computer and user, it proves who got the message; signed with a key not known for them
// yet, it proves only that some computer answered in their name.
struct DeliveryReceipt {
  std::wstring computer;
  std::wstring user;
  std::wstring sender;  // computer and user folded into one name, as the known senders are kept
  std::string publicKey;
  bool keyKnown = true;
  std::wstring fingerprint;  // of publicKey, for the line of a key not known yet
};

struct OutcomeLine {
  std::wstring text;
  bool isError = false;    // the recipient got nothing at all: the log window comes up
  bool delivered = false;  // a receipt that counts came back
  bool queued = false;     // not confirmed yet, but the relay holds it for the recipient
};

// A script's exit code for a send's lines (see ScriptExitCode).
int ExitCodeOf(const std::vector<OutcomeLine>& lines);
// The same for a send that waited for acknowledgements: whether everyone acknowledged decides,
// unless some recipient got nothing at all.
int ExitCodeOf(const std::vector<OutcomeLine>& lines, bool everyoneAcknowledged);

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
  // False for an id this send did not use. The same computer, user and key answering twice
  // counts once, so that a receipt in a borrowed name cannot hide the real one; names are made
  // safe to show. Each recipient names at most kMaxNamedComputers, and counts the rest.
  bool AddReceipt(uint64_t messageId, DeliveryReceipt receipt);
  static constexpr size_t kMaxNamedComputers = 64;
  // A receipt with a valid signature, but by another key than the one known for its computer
  // and user: it does not count, and the line says so.
  void AddOtherKeyReceipt(uint64_t messageId, DeliveryReceipt receipt);
  // The relay took the message for the recipient, who has not answered (yet): it keeps it for
  // them until `until` (a time of day, as the line shows it).
  void SetQueuedAtRelay(size_t recipient, std::wstring until);
  // The relay cannot be reached now: the window holds the message for it until `until`.
  void SetHeldForRelay(size_t recipient, std::wstring until);
  const std::wstring& Address(size_t recipient) const { return recipients_[recipient].address; }
  // Whether a receipt with a valid signature came back, counted or not.
  bool Answered(size_t recipient) const;
  // Whoever showed the recipient's message by their receipts, known keys or not: whose
  // acknowledgement is awaited.
  std::vector<AcknowledgingPerson> ShownBy(size_t recipient) const;
  std::vector<OutcomeLine> Lines() const;

 private:
  struct Recipient {
    std::wstring address;
    bool mailslotSent = false;
    std::wstring failureReason;
    std::vector<DeliveryReceipt> receipts;     // the first computers that proved it
    std::vector<DeliveryReceipt> unknownKeys;  // the first that answered by a key not known yet
    std::set<std::pair<std::wstring, std::string>> answers;  // sender and key of each counted
    size_t verifiedCount = 0, unknownKeyCount = 0;
    std::optional<OutcomeLine> mailslotLine;
    std::optional<DeliveryReceipt> otherKey;  // the first receipt by an unexpected key
    std::optional<std::wstring> queuedUntil;  // at the relay
    std::optional<std::wstring> heldUntil;    // here, for the relay
  };
  std::vector<Recipient> recipients_;
  std::unordered_map<uint64_t, size_t> byId_;

  static OutcomeLine Describe(const Recipient& recipient);
  // The line of a recipient whose receipts prove delivery; empty when there are none.
  static OutcomeLine DescribeDelivered(
      const Recipient& recipient, const std::function<std::wstring(const DeliveryReceipt&)>& who);
  // What the receipts by keys not known yet say; empty when there are none.
  static std::wstring DescribeUnknownKeys(
      const Recipient& recipient, const std::function<std::wstring(const DeliveryReceipt&)>& who);
};

// Why a message was not sent over the network, for the log.
std::wstring NetworkRefusalReason(EncodeError error, size_t textBytes);

}  // namespace parvox
