// The window thread's side of the UDP port: what arrives is sorted, answered and shown.
#include "receiving/NetworkReceiver.h"

#include <chrono>
#include <string>

#include "components/AnsiText.h"
#include "components/WaitSources.h"
#include "log/Log.h"

namespace parvox {
namespace {

// Datagrams handled before the window gets its turn again, and the longest such turn: by time
// too, as one datagram may cost a pop-up window and another nothing.
constexpr int kBatch = 64;
constexpr auto kTurn = std::chrono::milliseconds(4);

}  // namespace

bool NetworkReceiver::Start(uint16_t port) {
  if (Running()) return true;
  auto endpoint = std::make_shared<UdpEndpoint>();
  UdpEndpoint::OpenResult opened = endpoint->Open(port);
  if (opened == UdpEndpoint::OpenResult::kOpen &&
      AddWaitSource(endpoint->Event(), [this] { OnArrived(); })) {
    endpoint_ = std::move(endpoint);
    neighbourhood_ = std::make_unique<Neighbourhood>();
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
  if (!neighbourhood_->AcceptsSource(source)) return;
  DecodedDatagram decoded = DecodeNetworkDatagram(datagram.bytes);
  if (const NetworkReceipt* receipt = std::get_if<NetworkReceipt>(&decoded)) {
    if (onReceipt_) onReceipt_(*receipt, source);
  } else if (const NetworkMessage* message = std::get_if<NetworkMessage>(&decoded)) {
    Accept(datagram.source, *message);
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

void NetworkReceiver::Accept(const NetworkEndpoint& source, const NetworkMessage& message) {
  const IpAddress& address = source.address;
  IncomingMessage incoming{FromAnsi(message.from), FromAnsi(message.to), FromAnsi(message.text),
                           message.id};
  if (!IsAddressedHere(incoming.to, address)) return;
  switch (limiter_.Admit(address, GetTickCount64())) {
    case SourceRateLimiter::Verdict::kAccept:
      break;
    case SourceRateLimiter::Verdict::kRefuseWithNotice:
      inbox_.Notice(L"Too many messages from " + FormatIpAddress(address) +
                    L": further ones are ignored until it sends fewer.");
      return;
    case SourceRateLimiter::Verdict::kRefuse:
      return;
  }
  // Each message is answered once, however many copies come (unicast and broadcasts): a forged
  // source cannot have every receiver answer it again and again.
  if (!seen_.Remember(message.id, ContentKey(incoming))) return;
  // A message over the shared budget is not shown, so its sender must not hear it arrived.
  MessageInbox::Admission admission = inbox_.Admit(incoming);
  if (admission == MessageInbox::Admission::kOverBudget) return;
  std::string receipt = EncodeNetworkReceipt(
      {message.id, ToAnsi(identity_.computerName), ToAnsi(identity_.userName)});
  endpoint_->SendTo(source, receipt);
  if (admission == MessageInbox::Admission::kNew) inbox_.Show(incoming);
}

}  // namespace parvox
