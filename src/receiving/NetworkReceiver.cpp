// The window thread's side of the UDP port: what arrives is sorted, answered and shown.
#include "receiving/NetworkReceiver.h"

#include <chrono>
#include <string>

#include "components/AnsiText.h"
#include "components/VisibleText.h"
#include "components/WaitSources.h"
#include "identity/KnownSenderStore.h"
#include "identity/MessageSigning.h"
#include "identity/UserKeyStore.h"
#include "log/Log.h"

namespace parvox {
namespace {

// Datagrams handled before the window gets its turn again, and the longest such turn: by time
// too, as one datagram may cost a pop-up window and another nothing.
constexpr int kBatch = 64;
constexpr auto kTurn = std::chrono::milliseconds(4);

}  // namespace

bool NetworkReceiver::Start(uint16_t port, const std::vector<InterfaceAddress>& trustedNetworks) {
  if (Running()) return true;
  auto endpoint = std::make_shared<UdpEndpoint>();
  UdpEndpoint::OpenResult opened = endpoint->Open(port);
  if (opened == UdpEndpoint::OpenResult::kOpen &&
      AddWaitSource(endpoint->Event(), [this] { OnArrived(); })) {
    endpoint_ = std::move(endpoint);
    neighbourhood_ = std::make_unique<Neighbourhood>(trustedNetworks);
    identity_ = ReadLocalIdentity(neighbourhood_->Interfaces());
    identityGeneration_ = neighbourhood_->Generation();
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
  if (const auto* receipt = std::get_if<NetworkReceipt>(&decoded)) {
    if (onReceipt_) onReceipt_(*receipt, source);
  } else if (const auto* signedReceipt = std::get_if<SignedReceipt>(&decoded)) {
    if (onReceipt_) onReceipt_(*signedReceipt, source);
  } else if (!nearby) {
    return;
  } else if (const auto* message = std::get_if<NetworkMessage>(&decoded)) {
    AcceptClassic(datagram.source, *message);
  } else if (const auto* signedMessage = std::get_if<SignedMessage>(&decoded)) {
    AcceptSigned(datagram.source, *signedMessage, datagram.bytes);
  }
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

bool NetworkReceiver::PassesCheapChecks(const IpAddress& source, const IncomingMessage& message,
                                        uint64_t contentKey) {
  if (!IsAddressedHere(message.to, source)) return false;
  switch (limiter_.Admit(source, GetTickCount64())) {
    case SourceRateLimiter::Verdict::kAccept:
      break;
    case SourceRateLimiter::Verdict::kRefuseWithNotice:
      inbox_.Notice(L"Too many messages from " + FormatIpAddress(source) +
                    L": further ones are ignored until it sends fewer.");
      return false;
    case SourceRateLimiter::Verdict::kRefuse:
      return false;
  }
  // Each message is answered once, however many copies come (unicast and broadcasts): a forged
  // source cannot have every receiver answer it again and again.
  return seen_.Remember(*message.messageId, contentKey);
}

void NetworkReceiver::AcceptClassic(const NetworkEndpoint& source, const NetworkMessage& message) {
  IncomingMessage incoming{FromAnsi(message.from), FromAnsi(message.to), FromAnsi(message.text),
                           message.id};
  if (!PassesCheapChecks(source.address, incoming, ContentKey(incoming))) return;
  // A message over the shared budget is not shown, so its sender must not hear it arrived.
  MessageInbox::Admission admission = inbox_.Admit(incoming);
  if (admission == MessageInbox::Admission::kOverBudget) return;
  // Answered in its own version, so that a program that speaks only version 1 hears back.
  endpoint_->SendTo(source, EncodeNetworkReceipt({message.id, ToAnsi(identity_.computerName),
                                                  ToAnsi(identity_.userName)}));
  if (admission == MessageInbox::Admission::kNew) inbox_.Show(incoming);
}

void NetworkReceiver::AcceptSigned(const NetworkEndpoint& source, const SignedMessage& message,
                                   std::string_view bytes) {
  IncomingMessage incoming{FromUtf8(message.from), FromUtf8(message.to), FromUtf8(message.text),
                           message.id};
  // Keyed by the signature too: a forged copy of a message must not make the real one a repeat.
  uint64_t contentKey = ContentKey(incoming) ^ std::hash<std::string>()(message.signature);
  if (!PassesCheapChecks(source.address, incoming, contentKey) || !inbox_.SpendBudget()) return;

  std::wstring computer = FromUtf8(message.computer);
  SignedArrival arrival{SenderName(computer, incoming.from), message.publicKey,
                        VerifySignature(message.publicKey, SignedPart(message), message.signature),
                        ClockSkewSeconds(message.sentAt, SecondsSince1970()), false};
  if (arrival.signatureValid) {
    arrival.idSeenFromKey =
        !signedIds_.Remember(message.id, std::hash<std::string>()(message.publicKey));
  }
  TrustDecision decision = DecideTrust(arrival, KnownSenders());
  if (decision.trust == Trust::kBadSignature) {
    if (badSignatureLines_.Admit(source.address, GetTickCount64()) ==
        SourceRateLimiter::Verdict::kAccept) {
      inbox_.Notice(L"A message that claims to come from " + ShownName(incoming.from) + L" on " +
                    ShownName(computer) + L" failed its signature check and was not shown.");
    }
    return;
  }
  if (decision.trust == Trust::kReplay) return;
  bool remembered = decision.trust != Trust::kFirstContact ||
                    RememberSenderKey(arrival.sender, message.publicKey);
  incoming.verification = {decision.trust,
                           ShownName(incoming.from),
                           ShownName(computer),
                           KeyFingerprint(message.publicKey),
                           decision.known ? KeyFingerprint(decision.known->key) : L"",
                           decision.known && decision.known->given,
                           decision.skewMinutes,
                           remembered};
  incoming.senderName = arrival.sender;
  incoming.signingKey = message.publicKey;
  MessageInbox::Admission admission = inbox_.Admit(incoming, true);
  if (admission == MessageInbox::Admission::kOverBudget) return;
  std::string receipt = SignedReceiptFor(message.id, bytes);
  if (!receipt.empty()) endpoint_->SendTo(source, receipt);
  if (admission == MessageInbox::Admission::kNew) inbox_.Show(incoming);
}

std::string NetworkReceiver::SignedReceiptFor(uint64_t id, std::string_view messageBytes) const {
  const SigningKey* key = UserSigningKey();
  std::string digest = Sha256(messageBytes);
  if (key == nullptr || digest.empty()) return {};
  return SealDatagram(SignedReceipt{id,
                                    SecondsSince1970(),
                                    digest,
                                    key->PublicKey(),
                                    ToUtf8(identity_.computerName),
                                    ToUtf8(identity_.userName),
                                    {}},
                      *key);
}

}  // namespace parvox
