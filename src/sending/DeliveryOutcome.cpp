// Per-recipient outcome of the built-in send, worded like the rest of the send's log.
#include "sending/DeliveryOutcome.h"

#include <functional>

#include "components/VisibleText.h"
#include "sending/ScriptCommandLine.h"
#include "sending/SendText.h"

namespace parvox {
namespace {

// "a, b, c and 5 more": the named receipts of `total`.
std::wstring NamedList(const std::vector<DeliveryReceipt>& named, size_t total,
                       const std::function<std::wstring(const DeliveryReceipt&)>& name) {
  std::wstring text;
  for (size_t i = 0; i < named.size(); ++i) text += (i > 0 ? L", " : L"") + name(named[i]);
  if (total > named.size()) text += L" and " + std::to_wstring(total - named.size()) + L" more";
  return text;
}

}  // namespace

size_t DeliveryTracker::AddRecipient(std::wstring address, uint64_t messageId) {
  recipients_.push_back(Recipient{std::move(address)});
  byId_[messageId] = recipients_.size() - 1;
  return recipients_.size() - 1;
}

void DeliveryTracker::SetMailslotResult(size_t recipient, bool sent, std::wstring failureReason) {
  if (recipient >= recipients_.size()) return;
  recipients_[recipient].mailslotSent = sent;
  recipients_[recipient].failureReason = std::move(failureReason);
}

void DeliveryTracker::SetMailslotLine(size_t recipient, OutcomeLine line) {
  if (recipient < recipients_.size()) recipients_[recipient].mailslotLine = std::move(line);
}

bool DeliveryTracker::AddReceipt(uint64_t messageId, DeliveryReceipt receipt) {
  auto found = byId_.find(messageId);
  if (found == byId_.end()) return false;
  Recipient& recipient = recipients_[found->second];
  // Enough to count any real network's computers; past it a flood of invented names stops
  // costing memory.
  constexpr size_t kMaxCountedAnswers = 65536;
  if (recipient.answers.size() >= kMaxCountedAnswers) return true;
  // Keyed on what the signature proves: the sender together with the key.
  if (!recipient.answers.emplace(receipt.sender, receipt.publicKey).second) return true;
  ++(receipt.keyKnown ? recipient.verifiedCount : recipient.unknownKeyCount);
  std::vector<DeliveryReceipt>& named =
      receipt.keyKnown ? recipient.receipts : recipient.unknownKeys;
  if (named.size() < kMaxNamedComputers) {
    named.push_back({ShownName(receipt.computer),
                     ShownName(receipt.user),
                     receipt.sender,
                     {},
                     receipt.keyKnown,
                     receipt.fingerprint});
  }
  return true;
}

void DeliveryTracker::AddOtherKeyReceipt(uint64_t messageId, DeliveryReceipt receipt) {
  auto found = byId_.find(messageId);
  if (found == byId_.end() || recipients_[found->second].otherKey) return;
  recipients_[found->second].otherKey =
      DeliveryReceipt{ShownName(receipt.computer), ShownName(receipt.user), {}, {}, true, {}};
}

void DeliveryTracker::SetQueuedAtRelay(size_t recipient, std::wstring until) {
  if (recipient >= recipients_.size()) return;
  recipients_[recipient].queuedUntil = std::move(until);
  recipients_[recipient].heldUntil.reset();
}

void DeliveryTracker::SetHeldForRelay(size_t recipient, std::wstring until) {
  if (recipient < recipients_.size()) recipients_[recipient].heldUntil = std::move(until);
}

bool DeliveryTracker::Answered(size_t recipient) const {
  return recipient < recipients_.size() &&
         (!recipients_[recipient].answers.empty() || recipients_[recipient].otherKey);
}

std::vector<OutcomeLine> DeliveryTracker::Lines() const {
  std::vector<OutcomeLine> lines;
  lines.reserve(recipients_.size());
  for (const Recipient& recipient : recipients_) lines.push_back(Describe(recipient));
  return lines;
}

namespace {

std::wstring Who(const std::wstring& address, const DeliveryReceipt& receipt) {
  return (receipt.user.empty() ? address : receipt.user) + L" (" + receipt.computer + L")";
}

}  // namespace

std::vector<AcknowledgingPerson> DeliveryTracker::ShownBy(size_t recipient) const {
  std::vector<AcknowledgingPerson> people;
  if (recipient >= recipients_.size()) return people;
  const Recipient& r = recipients_[recipient];
  for (const auto* receipts : {&r.receipts, &r.unknownKeys}) {
    for (const DeliveryReceipt& receipt : *receipts) {
      people.push_back({receipt.sender, Who(r.address, receipt)});
    }
  }
  return people;
}

OutcomeLine DeliveryTracker::Describe(const Recipient& recipient) {
  const std::wstring& address = recipient.address;
  auto who = [&](const DeliveryReceipt& r) { return Who(address, r); };
  std::wstring otherKey;
  if (recipient.otherKey) {
    otherKey = L"The receipt from " + who(*recipient.otherKey) +
               L" came from a different key than before, so it may not be them.";
  }
  OutcomeLine line = DescribeDelivered(recipient, who);
  std::wstring unknownKeys = DescribeUnknownKeys(recipient, who);
  if (!line.text.empty()) {
    if (!unknownKeys.empty()) line.text += L" " + unknownKeys;
    if (!otherKey.empty()) line.text += L" " + otherKey + L" It was not counted.";
    return line;
  }
  if (!unknownKeys.empty()) {
    // Some computer got it, but nothing proves which: reached, not confirmed.
    std::wstring text = L"Message to " + address + L" not verified: " + unknownKeys;
    if (!otherKey.empty()) text += L" " + otherKey;
    return {text, false};
  }
  if (!otherKey.empty()) {
    std::wstring text = L"Message to " + address + L" not confirmed. " + otherKey;
    if (recipient.mailslotSent) text += L" The mailslot copy was sent.";
    return {text, !recipient.mailslotSent};
  }
  if (recipient.queuedUntil) {
    return {
        L"Message queued at the relay for " + address + L" until " + *recipient.queuedUntil + L".",
        false, false, true};
  }
  if (recipient.heldUntil) {
    return {L"Message to " + address +
                L" held for the relay, which cannot be reached now: it goes out when the relay "
                L"is back, until " +
                *recipient.heldUntil + L".",
            false, false, true};
  }
  if (recipient.mailslotLine) return *recipient.mailslotLine;
  if (recipient.mailslotSent) return {L"Message successfully sent to " + address + L".", false};
  std::wstring text = SendErrorLine(address, L"They may not be online.");
  if (!recipient.failureReason.empty()) text += L" " + recipient.failureReason;
  return {text, true};
}

OutcomeLine DeliveryTracker::DescribeDelivered(
    const Recipient& recipient, const std::function<std::wstring(const DeliveryReceipt&)>& who) {
  const std::vector<DeliveryReceipt>& receipts = recipient.receipts;
  size_t computers = recipient.verifiedCount;
  if (computers == 0) return {};
  if (computers == 1) return {L"Message delivered to " + who(receipts[0]) + L".", false, true};
  return {L"Message delivered to " + recipient.address + L" on " + std::to_wstring(computers) +
              L" computers: " + NamedList(receipts, computers, who) + L".",
          false, true};
}

std::wstring DeliveryTracker::DescribeUnknownKeys(
    const Recipient& recipient, const std::function<std::wstring(const DeliveryReceipt&)>& who) {
  const std::vector<DeliveryReceipt>& receipts = recipient.unknownKeys;
  size_t computers = recipient.unknownKeyCount;
  if (computers == 0) return {};
  if (computers == 1) {
    return who(receipts[0]) + L" answered with a key not known here yet (" +
           receipts[0].fingerprint + L"), so the receipt does not prove it was them.";
  }
  return std::to_wstring(computers) +
         L" computers answered with keys not known here yet, so their receipts do not prove who "
         L"they are: " +
         NamedList(receipts, computers,
                   [&](const DeliveryReceipt& r) { return who(r) + L" " + r.fingerprint; }) +
         L".";
}

int ExitCodeOf(const std::vector<OutcomeLine>& lines) {
  bool allDelivered = true, allDeliveredOrQueued = true;
  for (const OutcomeLine& line : lines) {
    if (line.isError) return kExitNotReached;
    allDelivered = allDelivered && line.delivered;
    allDeliveredOrQueued = allDeliveredOrQueued && (line.delivered || line.queued);
  }
  if (allDelivered) return kExitDelivered;
  return allDeliveredOrQueued ? kExitQueued : kExitUnconfirmed;
}

int ExitCodeOf(const std::vector<OutcomeLine>& lines, bool everyoneAcknowledged) {
  if (ExitCodeOf(lines) == kExitNotReached) return kExitNotReached;
  return everyoneAcknowledged ? kExitDelivered : kExitNotAcknowledged;
}

std::wstring NetworkRefusalReason(EncodeError error, size_t textBytes) {
  switch (error) {
    case EncodeError::kTextTooLong:
      return TooLongReason(L"the network", textBytes, L"bytes", kMaxNetworkTextBytes);
    case EncodeError::kNameTooLong:
      return L"The address or the sender's name is too long for the network (at most " +
             std::to_wstring(kMaxNetworkNameBytes) + L" bytes).";
    case EncodeError::kZeroByte:
      return L"The message holds a zero character, which the network cannot carry.";
    case EncodeError::kNotUtf8:
      return L"The message holds a character the network cannot carry.";
    case EncodeError::kBadLifetime:
      return L"A message may be kept for at most " +
             std::to_wstring(kMaxMessageLifetimeSeconds / 60) + L" minutes.";
    case EncodeError::kNone:
      break;
  }
  return std::wstring();
}

}  // namespace parvox
