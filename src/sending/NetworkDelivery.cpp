// Sends over UDP and waits for the receipts through the message loop's wait sources, so the
// window answers all along.
#include "sending/NetworkDelivery.h"

#include <algorithm>

#include "components/AnsiText.h"
#include "components/LocalTime.h"
#include "components/WaitSources.h"
#include "identity/KnownSenderStore.h"
#include "identity/ThisComputer.h"
#include "identity/UserKeyStore.h"
#include "log/Log.h"
#include "network/MessageIds.h"
#include "network/NetworkAddress.h"
#include "network/RateLimits.h"
#include "relay/RelayTopics.h"
#include "sending/AwaitedAcknowledgements.h"
#include "sending/LateReceipts.h"
#include "sending/ReceiptProof.h"

namespace parvox {
namespace {

std::vector<std::unique_ptr<NetworkSend>>& WaitingSends() {
  static std::vector<std::unique_ptr<NetworkSend>> sends;
  return sends;
}

// Datagrams read from the send's own socket before the window gets its turn again.
constexpr int kBatch = 64;

// Receipts are only worth anything for a message sent, but a stranger who saw an id could send
// any number: each source gets a bucket, far larger than any honest computer needs. This
// computer's own answers are not limited (a send to "." a thousand times over is fine).
bool AdmitReceipt(const IpAddress& source) {
  static SourceRateLimiter limiter({256, 64});
  return IsLoopback(source) ||
         limiter.Admit(source, GetTickCount64()) == SourceRateLimiter::Verdict::kAccept;
}

// Logs the send's lines and lets it go; nothing of it may be touched afterwards.
void Finish(NetworkSend* send) {
  auto& sends = WaitingSends();
  auto found = std::find_if(sends.begin(), sends.end(),
                            [&](const std::unique_ptr<NetworkSend>& s) { return s.get() == send; });
  if (found == sends.end()) return;
  std::unique_ptr<NetworkSend> ending = std::move(*found);
  sends.erase(found);
  ending->LogOutcome();
  ending->AwaitLateReceipts();
  ending->NoteWhoShowedIt();
}

}  // namespace

NetworkSend::NetworkSend(std::shared_ptr<UdpEndpoint> endpoint, uint16_t port,
                         std::vector<InterfaceAddress> trustedNetworks, const std::wstring& from,
                         const std::wstring& text, DWORD waitMs)
    : endpoint_(std::move(endpoint)),
      waitMs_(waitMs),
      port_(port),
      from_(ToUtf8(from)),
      text_(ToUtf8(text)),
      computer_(ToUtf8(GetThisComputerName())),
      key_(UserSigningKey()),
      neighbourhood_(std::move(trustedNetworks)) {
  if (endpoint_ == nullptr) {
    endpoint_ = std::make_shared<UdpEndpoint>();
    ownEndpoint_ = endpoint_->Open(0, kAnswersBufferBytes) == UdpEndpoint::OpenResult::kOpen;
  }
  broadcasts_ = BroadcastDestinations(neighbourhood_.Interfaces());
  // Read from the start: receipts come back while the walk goes on, and a full socket drops them.
  if (ownEndpoint_ && AddWaitSource(endpoint_->Event(), [this] { OnOwnSocket(); })) {
    waitingOn_.push_back(endpoint_->Event());
  }
}

NetworkSend::~NetworkSend() {
  for (HANDLE handle : waitingOn_) RemoveWaitSource(handle);
}

size_t NetworkSend::AddRecipient(const std::wstring& address, bool domain) {
  uint64_t id = NewMessageId();
  size_t index = tracker_.AddRecipient(address, id);
  recipients_.emplace_back();
  datagrams_.emplace_back();
  Recipient& recipient = recipients_.back();
  if (acknowledgements_ != nullptr) {
    // Awaited from now: a quick reader may acknowledge before the receipts are all in. Until
    // its digest is set below nothing answers it, so one whose message could not go stays
    // unacknowledged rather than leaving "everyone" to the others.
    uint64_t now = SecondsSince1970();
    acknowledgements_->Await(
        {sendNumber_, id, {}, address, {}, domain, now, now + lifetimeSeconds_});
  }
  if (id == 0 || key_ == nullptr) {
    AppendLog(false,
              L"The message was not sent to " + address + L" over the network: " +
                  (id == 0 ? L"the system's random number generator failed."
                           : L"this computer has no signing key (its cryptography failed)."));
    return index;
  }
  byId_[id] = index;

  RecipientAddress parsed;
  if (domain) {
    parsed.kind = RecipientAddress::Kind::kHostName;
    parsed.to = address.empty() ? L"*" : address;
    parsed.broadcast = true;
  } else {
    parsed = ParseRecipientAddress(address);
    if (parsed.kind == RecipientAddress::Kind::kInvalid) return index;
  }
  recipient.port = parsed.port != 0 ? parsed.port : port_;
  if (domain) {
    recipient.checksLeft = 1024;  // a whole workgroup may answer
  } else if (parsed.kind == RecipientAddress::Kind::kHostName) {
    recipient.name = FoldedName(parsed.to);
  }

  std::string& datagram = datagrams_.back();
  EncodeError error = EncodeError::kNone;
  uint64_t now = SecondsSince1970();
  sentAt_ = now;
  recipient.id = id;
  datagram = SealDatagram(SignedMessage{id,
                                        now,
                                        key_->PublicKey(),
                                        from_,
                                        ToUtf8(parsed.to),
                                        computer_,
                                        text_,
                                        {},
                                        now + lifetimeSeconds_,
                                        options_},
                          *key_, &error);
  if (error != EncodeError::kNone) {
    AppendLog(false, L"The message was not sent to " + address + L" over the network. " +
                         NetworkRefusalReason(error, text_.size()));
    return index;
  }
  if (datagram.empty()) {
    AppendLog(false, L"The message was not sent to " + address +
                         L" over the network: it could not be signed.");
    return index;
  }
  recipient.digest = Sha256(datagram);
  if (AcknowledgementRequest* awaited =
          acknowledgements_ != nullptr ? acknowledgements_->Find(id) : nullptr) {
    awaited->digest = recipient.digest;
    awaited->name = recipient.name;
  }
  if (relay_ != nullptr && parsed.kind == RecipientAddress::Kind::kHostName) {
    PublishToRelay(index, parsed.to, domain, datagram);
  }
  if (!endpoint_->IsOpen()) return index;
  for (const IpAddress& destination : parsed.broadcast ? broadcasts_ : std::vector<IpAddress>{}) {
    if (endpoint_->SendTo({destination, recipient.port}, datagram) == 0) {
      recipient.waitsForMore = true;
      recipient.destinations.push_back(destination);
    }
  }
  if (domain) {
    datagram.clear();
  } else if (parsed.kind == RecipientAddress::Kind::kHostName) {
    if (lookup_ == nullptr) lookup_ = std::make_unique<HostLookup>();
    lookup_->Start(index, parsed.to);
    ++lookupsPending_;
    recipient.waitsForMore = true;
  } else {
    recipient.needsAnswer = endpoint_->SendTo({parsed.literal, recipient.port}, datagram) == 0;
    if (recipient.needsAnswer) {
      recipient.destinations.push_back(parsed.literal);
      recipient.unicasts.push_back(parsed.literal);
      directGroups_.insert(SourceGroup(parsed.literal));
    }
    datagram.clear();
  }
  return index;
}

void NetworkSend::AskForAcknowledgement(uint32_t options, AcknowledgementLedger& ledger,
                                        LineReport report) {
  options_ = options;
  acknowledgements_ = &ledger;
  reportAcknowledgement_ = std::move(report);
  while (sendNumber_ == 0) sendNumber_ = NewMessageId();
  ledger.Open(sendNumber_);
}

void NetworkSend::NoteWhoShowedIt() {
  if (acknowledgements_ == nullptr) return;
  for (size_t index = 0; index < recipients_.size(); ++index) {
    acknowledgements_->SetReceivers(recipients_[index].id, tracker_.ShownBy(index));
  }
  if (acknowledgements_->Seal(sendNumber_) && reportAcknowledgement_) {
    reportAcknowledgement_(OutstandingLine(LocalTimeText(sentAt_), {}));
  }
}

void NetworkSend::UseRelay(RelayClient* relay, bool holdsWhileAway) {
  relay_ = relay;
  relayHoldsWhileAway_ = holdsWhileAway;
  std::optional<std::string> topic =
      RelayTopic(RelayTopicKind::kUser, ToUtf8(FoldedName(FromUtf8(from_))));
  replyTopic_ = topic.value_or("");
}

void NetworkSend::PublishToRelay(size_t index, const std::wstring& to, bool domain,
                                 const std::string& datagram) {
  std::string name = ToUtf8(FoldedName(to));
  std::vector<std::optional<std::string>> topics;
  if (domain) {
    topics.push_back(RelayTopic(RelayTopicKind::kDomain, name));
  } else {
    // An entry names a user or a computer: the message goes to whichever it is.
    topics.push_back(RelayTopic(RelayTopicKind::kUser, name));
    topics.push_back(RelayTopic(RelayTopicKind::kComputer, name));
  }
  Recipient& recipient = recipients_[index];
  std::wstring until = LocalTimeText(SecondsSince1970() + lifetimeSeconds_);
  for (const std::optional<std::string>& topic : topics) {
    if (!topic) continue;
    RelayPublish publish{*topic,
                         datagram,
                         static_cast<uint32_t>(lifetimeSeconds_),
                         replyTopic_.empty() ? std::nullopt : std::optional(replyTopic_),
                         {}};
    std::weak_ptr<NetworkSend*> self = self_;
    RelayPublishResult result =
        relay_->Publish(std::move(publish), [self, index, until](const RelayPublished& published) {
          // Accepted for a subscriber: the broker holds it for them until it expires.
          std::shared_ptr<NetworkSend*> send = self.lock();
          if (send && published.outcome == RelayPublished::Outcome::kAccepted) {
            (*send)->tracker_.SetQueuedAtRelay(index, until);
            (*send)->recipients_[index].takenByRelay = true;
          }
        });
    if (result.status == RelayPublishResult::Status::kQueued) {
      recipient.relayed = true;
      recipient.waitsForMore = true;
      if (relayHoldsWhileAway_ && !relay_->Up()) tracker_.SetHeldForRelay(index, until);
    }
  }
}

void NetworkSend::AwaitLateReceipts() const {
  for (size_t index = 0; index < recipients_.size(); ++index) {
    const Recipient& recipient = recipients_[index];
    // The window's relay outlives the send and sends what it holds later; a script's does not.
    bool mayCome = relayHoldsWhileAway_ ? recipient.relayed : recipient.takenByRelay;
    if (!mayCome || tracker_.Answered(index)) continue;
    AwaitedReceipt awaited{recipient.id,   recipient.digest, tracker_.Address(index),
                           recipient.name, sentAt_,          sentAt_ + lifetimeSeconds_};
    if (relayHoldsWhileAway_) {
      AwaitLateReceipt(std::move(awaited));
    } else {
      LeaveLateReceiptForTheWindow(awaited);
    }
  }
}

bool NetworkSend::StartWaiting() {
  walking_ = false;
  if (AllAnswered()) return false;
  deadline_.Reset(CreateWaitableTimerW(nullptr, TRUE, nullptr));
  LARGE_INTEGER due;
  due.QuadPart = -static_cast<LONGLONG>(waitMs_) * 10000;  // relative, in 100 ns
  if (!deadline_.Valid() || !SetWaitableTimer(deadline_.Get(), &due, 0, nullptr, nullptr, FALSE)) {
    return false;
  }
  std::vector<std::pair<HANDLE, std::function<void()>>> sources = {
      {deadline_.Get(), [this] { Finish(this); }}};
  if (lookup_ != nullptr) sources.push_back({lookup_->Event(), [this] { OnLookups(); }});
  for (auto& [handle, onSignalled] : sources) {
    if (!AddWaitSource(handle, std::move(onSignalled))) return false;
    waitingOn_.push_back(handle);
  }
  return true;
}

void NetworkSend::StopWaiting() {
  for (HANDLE handle : {deadline_.Get(), lookup_ != nullptr ? lookup_->Event() : nullptr}) {
    if (handle == nullptr ||
        std::find(waitingOn_.begin(), waitingOn_.end(), handle) == waitingOn_.end()) {
      continue;
    }
    RemoveWaitSource(handle);
    std::erase(waitingOn_, handle);
  }
}

void NetworkSend::OnLookups() {
  for (const HostLookup::Result& result : lookup_->TakeResults()) {
    --lookupsPending_;
    if (!result.address || result.ticket >= recipients_.size()) continue;
    Recipient& recipient = recipients_[result.ticket];
    if (endpoint_->SendTo({*result.address, recipient.port}, datagrams_[result.ticket]) == 0) {
      recipient.needsAnswer = true;
      recipient.destinations.push_back(*result.address);
      recipient.unicasts.push_back(*result.address);
      directGroups_.insert(SourceGroup(*result.address));
    }
    datagrams_[result.ticket].clear();
  }
  if (AllAnswered()) Finish(this);
}

void NetworkSend::OnOwnSocket() {
  // The same checks as the receiver's port: only neighbours, and a flood gets turns, not the
  // window.
  int handled = 0;
  for (; handled < kBatch; ++handled) {
    std::optional<ReceivedDatagram> datagram = endpoint_->Receive();
    if (!datagram) break;
    const IpAddress& source = datagram->source.address;
    if (!neighbourhood_.AcceptsSource(source) && !SentDirectlyTo(source)) continue;
    DecodedDatagram decoded = DecodeNetworkDatagram(datagram->bytes);
    if (auto* receipt = std::get_if<SignedReceipt>(&decoded); receipt && AdmitReceipt(source)) {
      OnReceipt(*receipt, source);
    }
  }
  if (handled == kBatch) SetEvent(endpoint_->Event());  // more may wait: come back
  if (AllAnswered()) Finish(this);
}

void NetworkSend::OnReceipt(const SignedReceipt& receipt, const IpAddress& source) {
  if (receipt.kind == NetworkKind::kAcknowledgement) {
    std::optional<std::wstring> line;
    if (acknowledgements_ != nullptr) line = TakeAcknowledgement(*acknowledgements_, receipt);
    if (line && reportAcknowledgement_) reportAcknowledgement_(*line);
    return;
  }
  auto found = byId_.find(receipt.id);
  if (found == byId_.end()) return;
  Recipient& recipient = recipients_[found->second];
  const std::vector<InterfaceAddress>& interfaces = neighbourhood_.Interfaces();
  // Through the relay there is no address to check: the name rule below holds alone.
  if (source == RelaySourceAddress()
          ? !recipient.relayed
          : std::none_of(recipient.destinations.begin(), recipient.destinations.end(),
                         [&](const IpAddress& destination) {
                           return AnswersDestination(source, destination, interfaces);
                         })) {
    return;
  }
  if (AnswersFor(recipient, receipt, source) && CountSignedReceipt(found->second, receipt)) {
    recipient.answered = true;
  }
}

bool NetworkSend::AnswersFor(const Recipient& recipient, const SignedReceipt& receipt,
                             const IpAddress& source) const {
  if (recipient.name.empty()) return true;
  if (std::find(recipient.unicasts.begin(), recipient.unicasts.end(), source) !=
      recipient.unicasts.end()) {
    return true;
  }
  return ReceiptNames(receipt, recipient.name);
}

bool NetworkSend::CountSignedReceipt(size_t index, const SignedReceipt& receipt) {
  Recipient& recipient = recipients_[index];
  // Cheap checks first: the digest of another message, or past the recipient's checks.
  if (receipt.messageDigest != recipient.digest || recipient.checksLeft == 0) return false;
  --recipient.checksLeft;
  ReceiptProof proof = ProveReceipt(receipt);
  if (!proof.signatureValid) return false;
  if (proof.trust == Trust::kChangedKey) {
    tracker_.AddOtherKeyReceipt(receipt.id, std::move(proof.named));
    return false;
  }
  tracker_.AddReceipt(receipt.id, std::move(proof.named));
  return true;
}

bool NetworkSend::SentDirectlyTo(const IpAddress& source) const {
  return directGroups_.count(SourceGroup(source)) > 0;
}

bool NetworkSend::AllAnswered() const {
  if (walking_ || lookupsPending_ > 0) return false;
  return std::none_of(recipients_.begin(), recipients_.end(), [](const Recipient& recipient) {
    return recipient.waitsForMore || (recipient.needsAnswer && !recipient.answered);
  });
}

void NetworkSend::LogOutcome() const {
  // One append and at most one showing of the window for the whole send: a thousand of each
  // would hold up the window.
  std::wstring text;
  bool anyError = false;
  for (const OutcomeLine& line : tracker_.Lines()) {
    if (!line.text.empty()) text += (text.empty() ? L"" : L"\r\n") + line.text;
    anyError = anyError || line.isError;
  }
  if (!text.empty()) AppendLog(anyError, text);
}

NetworkSend& StartNetworkSend(std::shared_ptr<UdpEndpoint> endpoint, uint16_t port,
                              std::vector<InterfaceAddress> trustedNetworks,
                              const std::wstring& from, const std::wstring& text) {
  WaitingSends().push_back(std::make_unique<NetworkSend>(std::move(endpoint), port,
                                                         std::move(trustedNetworks), from, text));
  return *WaitingSends().back();
}

void WaitForReceipts(NetworkSend& send) {
  if (!send.StartWaiting()) Finish(&send);
}

void DeliverReceipt(const SignedReceipt& receipt, const IpAddress& source) {
  if (!AdmitReceipt(source)) return;
  // The window awaits every send's acknowledgements in one ledger, long after the sends ended.
  if (receipt.kind == NetworkKind::kAcknowledgement) {
    if (auto line = TakeAcknowledgement(WindowAcknowledgements(), receipt)) AppendLog(false, *line);
    return;
  }
  // Through the relay, a receipt may answer a send that ended while its recipient was away.
  if (source == RelaySourceAddress() && TakeLateReceipt(receipt)) return;
  // A copy of the list: a receipt may end the send it answers.
  std::vector<NetworkSend*> sends;
  for (const auto& send : WaitingSends()) sends.push_back(send.get());
  for (NetworkSend* send : sends) {
    auto& list = WaitingSends();
    bool stillWaiting =
        std::any_of(list.begin(), list.end(), [&](const auto& s) { return s.get() == send; });
    if (!stillWaiting) continue;
    send->OnReceipt(receipt, source);
    if (send->AllAnswered()) Finish(send);
  }
}

bool ReceiptsPending() { return !WaitingSends().empty(); }

bool ReceiptAwaitedFrom(const IpAddress& source) {
  const auto& sends = WaitingSends();
  return std::any_of(sends.begin(), sends.end(),
                     [&](const auto& send) { return send->SentDirectlyTo(source); });
}

void FinishWaitingSends() {
  while (!WaitingSends().empty()) Finish(WaitingSends().front().get());
}

}  // namespace parvox
