// What a sender waits for after asking its recipients to acknowledge a message: for each
// recipient's message, who showed it (by their receipts) and who has acknowledged it, so that the
// log can say who has not. Bounded, since each send adds to it and acknowledgements may come for
// as long as the message lives; kept in a file while the program is closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace parvox {

struct AcknowledgingPerson {
  std::wstring sender;  // computer and user folded into one name (SenderName)
  std::wstring shown;   // "bob (PCB)"
  bool operator==(const AcknowledgingPerson&) const = default;
};

// One recipient's message of a send that asked for acknowledgement.
struct AcknowledgementRequest {
  uint64_t send = 0;  // the same for every recipient of one send, which the log lists together
  uint64_t id = 0;
  std::string digest;    // of the message's datagram, which an acknowledgement names
  std::wstring address;  // as the log names the recipient
  // A folded user or computer name an acknowledgement must name; empty for an address or a
  // domain.
  std::wstring name;
  bool domain = false;                 // each of its computers that showed the message is awaited
  uint64_t sentAt = 0, expiresAt = 0;  // seconds since 1970
  std::vector<AcknowledgingPerson> receivers;  // by their receipts, at most kMaxPeople
  // The receivers who acknowledged, and at most kMaxPeople others (a computer whose receipt was
  // lost, say).
  std::vector<AcknowledgingPerson> acknowledged;
  // Each acknowledgement that names it costs a signature check, and anyone who saw it could send
  // any number: its own allowance, a whole domain's for a domain (set by Await).
  size_t checksLeft = 0;
  bool operator==(const AcknowledgementRequest&) const = default;
};

class AcknowledgementLedger {
 public:
  static constexpr size_t kMaxRequests = 4096;
  static constexpr size_t kMaxPeople = 64;

  // A new request replaces the one expiring first once the ledger is full; its lists are cut to
  // their bounds.
  void Await(AcknowledgementRequest request);
  AcknowledgementRequest* Find(uint64_t id);
  // Who showed the message `id`, once its receipts are in; cut to kMaxPeople.
  void SetReceivers(uint64_t id, std::vector<AcknowledgingPerson> receivers);
  // Notes that `person` acknowledged the message `id`; false when they had already, or no such
  // message is awaited.
  bool Acknowledge(uint64_t id, AcknowledgingPerson person);

  struct SendState {
    uint64_t send = 0, sentAt = 0, expiresAt = 0;
    std::vector<std::wstring> outstanding;  // who has not acknowledged, as the log names them
  };
  // Every send awaited, oldest first.
  std::vector<SendState> Sends() const;
  // Takes out the sends whose expiry has passed.
  std::vector<SendState> TakeExpired(uint64_t now);
  // A send is open while its recipients are still being added: everyone it awaits so far may
  // have acknowledged, and it is still not complete. Sealing it takes it out when it is.
  void Open(uint64_t send) { open_.insert(send); }
  bool Seal(uint64_t send);
  // Takes out `send` when it is not open and everyone it awaits has acknowledged; true when it
  // did.
  bool TakeIfComplete(uint64_t send);
  const std::map<uint64_t, AcknowledgementRequest>& Requests() const { return requests_; }
  bool Empty() const { return requests_.empty(); }

 private:
  std::map<uint64_t, AcknowledgementRequest> requests_;  // by message id
  std::set<uint64_t> open_;
};

// Whether no one is outstanding for a recipient's message (below).
bool Acknowledged(const AcknowledgementRequest& request);
// Who has not acknowledged a recipient's message: for a user, computer or address, no one once
// one of them has, else whoever showed it, else the address; for a domain, each computer that
// showed it and has not acknowledged, else (no one showed it, no one acknowledged) the domain.
std::vector<std::wstring> Outstanding(const AcknowledgementRequest& request);

// The log's lines, with the times already formatted.
std::wstring AcknowledgedLine(std::wstring_view who, std::wstring_view sentTime,
                              std::wstring_view acknowledgedTime);
std::wstring OutstandingLine(std::wstring_view sentTime, const std::vector<std::wstring>& who);
std::wstring ExpiredUnacknowledgedLine(std::wstring_view sentTime,
                                       const std::vector<std::wstring>& who);
inline constexpr wchar_t kNothingAwaitsAcknowledgement[] =
    L"None of your messages awaits acknowledgements.";

// The file that keeps the ledger while the program is closed: one record per request, texts as
// UTF-16 code units with their count, cut at 1,024. Empty for a digest that is neither empty nor
// 32 bytes.
std::string EncodeAcknowledgementRequest(const AcknowledgementRequest& request);
// The whole records at the front of `bytes`; a damaged or cut record ends the reading.
std::vector<AcknowledgementRequest> DecodeAcknowledgementRequests(std::string_view bytes);

}  // namespace parvox
