// The window thread's side of the UDP port: what arrives is sorted, answered and shown.
#include "receiving/NetworkReceiver.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "components/AnsiText.h"
#include "components/LocalTime.h"
#include "components/VisibleText.h"
#include "components/WaitSources.h"
#include "identity/KnownSenderStore.h"
#include "identity/MessageSigning.h"
#include "identity/UserKeyStore.h"
#include "log/Log.h"
#include "receiving/ReceivedText.h"
#include "relay/RelayTopics.h"

namespace parvox {
namespace {

// Datagrams handled before the window gets its turn again, and the longest such turn: by time
// too, as one datagram may cost a pop-up window and another nothing.
constexpr int kBatch = 64;
constexpr auto kTurn = std::chrono::milliseconds(4);

// What the relay's queue leaves of the shared budget, so that a long queue draining does not
// stop every message of the local network meanwhile.
constexpr double kBudgetLeftForOthers = 5;

// A receipt through the relay waits at the broker for its sender at most this long.
constexpr uint32_t kRelayReceiptLifetimeSeconds = 24 * 3600;

}  // namespace

bool NetworkReceiver::Start(uint16_t port, const std::vector<InterfaceAddress>& trustedNetworks) {
  receiving_ = true;
  if (neighbourhood_ == nullptr) {
    neighbourhood_ = std::make_unique<Neighbourhood>(trustedNetworks);
    identity_ = ReadLocalIdentity(neighbourhood_->Interfaces());
    identityGeneration_ = neighbourhood_->Generation();
  }
  if (Running()) return true;
  auto endpoint = std::make_shared<UdpEndpoint>();
  // The window's sends go out from this port, and their receipts come back to it.
  UdpEndpoint::OpenResult opened = endpoint->Open(port, kAnswersBufferBytes);
  if (opened == UdpEndpoint::OpenResult::kOpen &&
      AddWaitSource(endpoint->Event(), [this] { OnArrived(); })) {
    endpoint_ = std::move(endpoint);
    return true;
  }
  const std::wstring number = std::to_wstring(port);
  AppendLog(false, opened == UdpEndpoint::OpenResult::kPortTaken
                       ? L"Messages sent over the network cannot be shown here: another program "
                         L"already uses port " +
                             number +
                             L" (Parvox running a second time, perhaps). Messages sent to the "
                             L"mailslot still arrive."
                       : L"Messages sent over the network cannot be shown here: port " + number +
                             L" could not be opened. Messages sent to the mailslot still arrive.");
  return false;
}

void NetworkReceiver::Stop() {
  receiving_ = false;
  if (relayTimer_.Valid()) RemoveWaitSource(relayTimer_.Get());
  relayTimer_.Reset();
  drainDue_ = false;
  if (!Running()) return;
  RemoveWaitSource(endpoint_->Event());
  endpoint_.reset();
}

void NetworkReceiver::OnArrived() {
  // Held: a message's pop-up or the receipt handler may stop this receiver.
  std::shared_ptr<UdpEndpoint> endpoint = endpoint_;
  auto end = std::chrono::steady_clock::now() + kTurn;
  for (int handled = 0; handled < kBatch && std::chrono::steady_clock::now() < end; ++handled) {
    std::optional<ReceivedDatagram> datagram = endpoint->Receive();
    if (!datagram) return;
    Handle(*datagram);
    if (endpoint_ != endpoint) return;
  }
  // More may wait: come back after the window's turn.
  SetEvent(endpoint->Event());
}

void NetworkReceiver::Handle(const ReceivedDatagram& datagram) {
  const IpAddress& source = datagram.source.address;
  // Beyond the neighbourhood only the answer of a computer a send went to counts.
  bool nearby = neighbourhood_->AcceptsSource(source);
  if (!nearby && !(awaitsReceiptFrom_ && awaitsReceiptFrom_(source))) return;
  DecodedDatagram decoded = DecodeNetworkDatagram(datagram.bytes);
  // A version-1 receipt answers nothing Parvox sends: its messages are all signed.
  if (std::holds_alternative<NetworkReceipt>(decoded)) {
    return;
  } else if (const auto* receipt = std::get_if<SignedReceipt>(&decoded)) {
    if (onReceipt_) onReceipt_(*receipt, source);
  } else if (!nearby) {
    return;
  } else if (const auto* message = std::get_if<NetworkMessage>(&decoded)) {
    AcceptClassic(datagram.source, *message);
  } else if (const auto* signedMessage = std::get_if<SignedMessage>(&decoded)) {
    AcceptSigned({datagram.source}, *signedMessage, datagram.bytes);
  }
}

void NetworkReceiver::UseRelay(RelayClient* relay) {
  relay_ = relay;
  if (relay_ != nullptr && !relayTimer_.Valid()) {
    relayTimer_.Reset(CreateWaitableTimerW(nullptr, FALSE, nullptr));
    if (relayTimer_.Valid() && !AddWaitSource(relayTimer_.Get(), [this] { DrainRelayed(); })) {
      relayTimer_.Reset();
    }
  }
}

void NetworkReceiver::OnRelayed(RelayMessage message) {
  relayed_.push_back(std::move(message));
  // Acknowledging one may bring the next at once: the loop below takes it.
  if (draining_ || drainDue_) return;
  // Otherwise on the window's next turn, never inside the relay's own reading: each message
  // acknowledged there brings the next, and a long queue would keep the window all along.
  if (!DrainAfterMs(0)) DrainRelayed();
}

bool NetworkReceiver::DrainAfterMs(int ms) {
  LARGE_INTEGER due;
  due.QuadPart = ms == 0 ? -1 : -int64_t{ms} * 10000;  // relative, in 100 ns
  drainDue_ = relayTimer_.Valid() &&
              SetWaitableTimer(relayTimer_.Get(), &due, 0, nullptr, nullptr, FALSE) != 0;
  return drainDue_;
}

void NetworkReceiver::DrainRelayed() {
  drainDue_ = false;
  draining_ = true;
  auto end = std::chrono::steady_clock::now() + kTurn;
  while (!relayed_.empty()) {
    // Within the shared budget, waiting rather than dropping: the broker holds the rest
    // meanwhile. A few arrivals' worth stays for the local network, and the window gets its
    // turn between batches.
    bool budget = !receiving_ || inbox_.HasBudget(kBudgetLeftForOthers + 1);
    bool turn = std::chrono::steady_clock::now() < end;
    if (relayTimer_.Valid() && (!budget || !turn)) {
      draining_ = false;
      DrainAfterMs(budget ? 0 : 100);
      return;
    }
    RelayMessage message = std::move(relayed_.front());
    relayed_.pop_front();
    // Not receiving: taken and dropped, as a datagram on a closed port would be.
    if (receiving_) HandleRelayed(message);
    if (relay_ != nullptr) relay_->Acknowledge(message.receipt);
  }
  draining_ = false;
}

void NetworkReceiver::HandleRelayed(const RelayMessage& message) {
  if (neighbourhood_ == nullptr) return;
  // The relay carries signed datagrams only: an unsigned one proves nothing and is ignored.
  DecodedDatagram decoded = DecodeNetworkDatagram(message.payload);
  if (const auto* receipt = std::get_if<SignedReceipt>(&decoded)) {
    if (onReceipt_) onReceipt_(*receipt, RelaySourceAddress());
  } else if (const auto* signedMessage = std::get_if<SignedMessage>(&decoded)) {
    // Receipts go to the sender's own topic and nowhere else, so that no one can have every
    // receiver publish to a topic of their choosing.
    RelayMessage answerable = message;
    if (answerable.responseTopic !=
        RelayTopic(RelayTopicKind::kUser, ToUtf8(FoldedName(FromUtf8(signedMessage->from))))) {
      answerable.responseTopic.reset();
    }
    AcceptSigned({{RelaySourceAddress(), 0}, &answerable}, *signedMessage, message.payload);
  }
}

bool NetworkReceiver::Answer(const Route& route, const std::string& answer) {
  if (answer.empty()) return false;
  if (route.relayed == nullptr) return endpoint_ && endpoint_->SendTo(route.source, answer) == 0;
  if (relay_ == nullptr || !route.relayed->responseTopic) return false;
  return relay_
             ->Publish({*route.relayed->responseTopic, answer, kRelayReceiptLifetimeSeconds,
                        std::nullopt, route.relayed->correlationData})
             .status == RelayPublishResult::Status::kQueued;
}

std::function<bool()> NetworkReceiver::Acknowledger(const Route& route, uint64_t id,
                                                    std::string digest) {
  std::optional<RelayMessage> relayed;
  if (route.relayed != nullptr) {
    relayed = *route.relayed;
    relayed->payload.clear();  // only where to answer is kept
  }
  return [self = std::weak_ptr(self_), source = route.source, relayed, id, digest] {
    std::shared_ptr<NetworkReceiver*> receiver = self.lock();
    if (!receiver) return false;
    return (*receiver)->Answer(
        {source, relayed ? &*relayed : nullptr},
        (*receiver)->SignedAnswer(NetworkKind::kAcknowledgement, id, digest));
  };
}

void NetworkReceiver::FollowInterfaces() {
  if (identityGeneration_ == neighbourhood_->Generation()) return;
  identity_ = ReadLocalIdentity(neighbourhood_->Interfaces());
  identityGeneration_ = neighbourhood_->Generation();
}

bool NetworkReceiver::IsAddressedHere(const std::wstring& to, const IpAddress& source) {
  // The names follow the addresses: a table read since (for a new neighbour) brings them along.
  FollowInterfaces();
  if (IsAddressedToThisComputer(to, identity_, neighbourhood_->IsThisComputer(source))) return true;
  // An address this computer does not know may be one it took since (DHCP, docking).
  if (!ParseIpLiteral(to) || !neighbourhood_->RefreshIfDue()) return false;
  FollowInterfaces();
  return IsAddressedToThisComputer(to, identity_, neighbourhood_->IsThisComputer(source));
}

bool NetworkReceiver::PassesCheapChecks(const Route& route, const IncomingMessage& message,
                                        uint64_t contentKey) {
  const NetworkEndpoint& source = route.source;
  if (!IsAddressedHere(message.to, source.address)) return false;
  switch (route.relayed != nullptr ? SourceRateLimiter::Verdict::kAccept
                                   : limiter_.Admit(source.address, GetTickCount64())) {
    case SourceRateLimiter::Verdict::kAccept:
      break;
    case SourceRateLimiter::Verdict::kRefuseWithNotice:
      inbox_.Notice(L"Too many messages from " + FormatIpAddress(source.address) +
                    L": further ones are ignored until it sends fewer.");
      return false;
    case SourceRateLimiter::Verdict::kRefuse:
      return false;
  }
  // Each copy is handled once per route, however many come (unicast and broadcasts from one
  // sender are one route): a forged source cannot have every receiver answer it again and again.
  return seen_.Remember(*message.messageId, contentKey ^ RouteKey(source));
}

uint64_t NetworkReceiver::RouteKey(const NetworkEndpoint& source) {
  uint64_t route = std::hash<std::wstring>()(FormatIpAddress(source.address)) * 31 + source.port;
  return route * 0x9E3779B97F4A7C15ull;
}

Verification::KeyMemory NetworkReceiver::RememberNewSender(const Route& route,
                                                           const std::wstring& sender,
                                                           const std::string& key) {
  // A neighbour could otherwise fill the store with invented senders: a few new ones per source
  // an hour, and a few dozen from all sources together (the relay, whose every user the broker
  // authenticated, has only the overall limit).
  uint64_t now = GetTickCount64();
  if ((route.relayed == nullptr &&
       newSenders_.Admit(route.source.address, now) != SourceRateLimiter::Verdict::kAccept) ||
      newSendersOverall_.Take(kNewSendersOverall, now) != TokenBucket::Verdict::kAccept) {
    return Verification::KeyMemory::kTooManyNewSenders;
  }
  return RememberFirstKey(sender, key);
}

void NetworkReceiver::AcceptClassic(const NetworkEndpoint& source, const NetworkMessage& message) {
  IncomingMessage incoming{FromAnsi(message.from), FromAnsi(message.to), FromAnsi(message.text),
                           message.id};
  if (!PassesCheapChecks({source}, incoming, ContentKey(incoming))) return;
  // A message over the shared budget is not shown, so its sender must not hear it arrived.
  MessageInbox::Admission admission = inbox_.Admit(incoming);
  if (admission == MessageInbox::Admission::kOverBudget) return;
  // Answered in its own version, so that a program that speaks only version 1 hears back.
  endpoint_->SendTo(source, EncodeNetworkReceipt({message.id, ToAnsi(identity_.computerName),
                                                  ToAnsi(identity_.userName)}));
  if (admission == MessageInbox::Admission::kNew) inbox_.Show(incoming);
}

void NetworkReceiver::AcceptSigned(const Route& route, const SignedMessage& message,
                                   std::string_view bytes) {
  const NetworkEndpoint& source = route.source;
  IncomingMessage incoming{FromUtf8(message.from), FromUtf8(message.to), FromUtf8(message.text),
                           message.id};
  // Keyed by every byte: an altered copy, sent first from a forged source, must not make the
  // real one a repeat.
  uint64_t contentKey = std::hash<std::string_view>()(bytes);
  if (!PassesCheapChecks(route, incoming, contentKey) || !inbox_.SpendBudget()) return;

  std::wstring computer = FromUtf8(message.computer);
  uint64_t now = SecondsSince1970();
  SignedArrival arrival{SenderName(computer, incoming.from), message.publicKey,
                        VerifySignature(message.publicKey, SignedPart(message), message.signature),
                        ClockSkewSeconds(message.sentAt, now), false};
  if (message.expiresAt != 0) arrival.expirySkewSeconds = ClockSkewSeconds(message.expiresAt, now);
  // A message is answered once on each route it comes by: a neighbour who passes a copy on
  // first cannot take the answer that the sender's own copy is owed.
  bool newRoute = false;
  if (arrival.signatureValid) {
    // Kept for as long as it could be taken: until it expires, or while its time passes for
    // recent.
    uint64_t until = message.expiresAt != 0 ? message.expiresAt
                     : message.sentAt > UINT64_MAX - kMaxClockSkewSeconds
                         ? UINT64_MAX
                         : message.sentAt + kMaxClockSkewSeconds;
    arrival.idSeenFromKey = !replays_.Remember(message.id, message.publicKey, until, now);
    uint64_t keyHash = std::hash<std::string>()(message.publicKey);
    newRoute = answeredRoutes_.Remember(message.id, keyHash ^ RouteKey(source));
  }
  // What is stored now (another Parvox of this user may have learnt the key meanwhile), read only
  // for a message the keys decide: not for a forgery or a replay.
  TrustDecision decision = DecideTrust(arrival, arrival.signatureValid && !arrival.idSeenFromKey
                                                    ? KnownSenderKeys(arrival.sender)
                                                    : SenderKeys());
  if (decision.trust == Trust::kBadSignature || decision.trust == Trust::kExpired) {
    if (droppedLines_.Admit(source.address, GetTickCount64()) ==
        SourceRateLimiter::Verdict::kAccept) {
      std::wstring who = ShownName(incoming.from) + L" on " + ShownName(computer);
      inbox_.Notice(decision.trust == Trust::kExpired
                        ? L"A message from " + who + L" arrived after it expired and was not shown."
                        : L"A message that claims to come from " + who +
                              L" failed its signature check and was not shown.");
    }
    return;
  }
  // Shown already: answered on a route it has not come by before, never shown again.
  if (decision.trust == Trust::kReplay) {
    if (newRoute) Answer(route, SignedAnswer(NetworkKind::kReceipt, message.id, Sha256(bytes)));
    return;
  }
  incoming.verification = {decision.trust,
                           ShownName(incoming.from),
                           ShownName(computer),
                           KeyFingerprint(message.publicKey),
                           decision.known ? KeyFingerprint(decision.known->key) : L"",
                           decision.known && decision.known->given,
                           decision.skewMinutes};
  incoming.senderName = arrival.sender;
  incoming.signingKey = message.publicKey;
  if (route.relayed != nullptr) {
    incoming.arrivalNote =
        HeldByRelayNote(LocalTimeText(message.sentAt), -std::min<int64_t>(arrival.skewSeconds, 0));
  }
  incoming.classicSpelling = {FromAnsi(ToAnsi(incoming.from)), FromAnsi(ToAnsi(incoming.to)),
                              FromAnsi(ToAnsi(incoming.text))};
  incoming.options = HonourOptions(message.options, decision.trust);
  incoming.expiresAt = message.expiresAt;
  std::string digest = Sha256(bytes);
  if (incoming.options.acknowledgementRequested) {
    incoming.acknowledge = Acknowledger(route, message.id, digest);
  }
  MessageInbox::Admission admission = inbox_.Admit(incoming, true);
  if (admission == MessageInbox::Admission::kOverBudget) return;
  Answer(route, SignedAnswer(NetworkKind::kReceipt, message.id, digest));
  if (admission != MessageInbox::Admission::kNew) return;
  // Only a message the user is shown teaches a key, with its fingerprint in the pop-up.
  if (decision.trust == Trust::kFirstContact) {
    // A message that only gets a log line (too many pop-ups are up) shows no fingerprint.
    incoming.verification.keyMemory =
        inbox_.HasRoomForPopup() ? RememberNewSender(route, arrival.sender, message.publicKey)
                                 : Verification::KeyMemory::kNotShown;
  } else if (decision.trust == Trust::kVerified && !decision.known->given) {
    NoteSeenAgain(arrival.sender);
  }
  inbox_.Show(incoming);
}

std::string NetworkReceiver::SignedAnswer(NetworkKind kind, uint64_t id,
                                          std::string_view digest) const {
  const SigningKey* key = UserSigningKey();
  if (key == nullptr || digest.empty()) return {};
  return SealDatagram(SignedReceipt{id,
                                    SecondsSince1970(),
                                    std::string(digest),
                                    key->PublicKey(),
                                    ToUtf8(identity_.computerName),
                                    ToUtf8(identity_.userName),
                                    {},
                                    kind},
                      *key);
}

}  // namespace parvox
