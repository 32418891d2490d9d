// The window thread's side of the UDP port: what arrives is sorted, answered and shown.
#include "receiving/NetworkReceiver.h"

#include <algorithm>
#include <string>

#include "components/AnsiText.h"
#include "components/WaitSources.h"
#include "log/Log.h"
#include "network/LocalInterfaces.h"

namespace parvox {
namespace {

// Datagrams handled before the window gets its turn again.
constexpr int kBatch = 64;
// A source outside the known subnets makes the table be read again, at most this often: an
// address that changed since start-up must not lock out the new neighbours for long.
constexpr uint64_t kInterfaceRefreshMs = 10000;

}  // namespace

bool NetworkReceiver::Start(uint16_t port) {
  if (Running()) return true;
  auto endpoint = std::make_shared<UdpEndpoint>();
  UdpEndpoint::OpenResult opened = endpoint->Open(port);
  if (opened == UdpEndpoint::OpenResult::kOpen &&
      AddWaitSource(endpoint->Event(), [this] { OnArrived(); })) {
    endpoint_ = std::move(endpoint);
    interfaces_ = ReadInterfaceTable();
    interfacesReadMs_ = GetTickCount64();
    identity_ = ReadLocalIdentity(interfaces_);
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
  for (int handled = 0; handled < kBatch; ++handled) {
    std::optional<ReceivedDatagram> datagram = endpoint->Receive();
    if (!datagram) return;
    Handle(*datagram);
    if (endpoint_ != endpoint) return;
  }
  // More may wait: come back after the window's turn.
  SetEvent(endpoint->Event());
}

bool NetworkReceiver::IsNearby(const IpAddress& source) {
  if (IsNearbySource(source, interfaces_)) return true;
  uint64_t now = GetTickCount64();
  if (now - interfacesReadMs_ < kInterfaceRefreshMs) return false;
  interfaces_ = ReadInterfaceTable();
  interfacesReadMs_ = now;
  return IsNearbySource(source, interfaces_);
}

void NetworkReceiver::Handle(const ReceivedDatagram& datagram) {
  if (!IsNearby(datagram.source.address)) return;
  DecodedDatagram decoded = DecodeNetworkDatagram(datagram.bytes);
  if (const NetworkReceipt* receipt = std::get_if<NetworkReceipt>(&decoded)) {
    if (onReceipt_) onReceipt_(*receipt);
  } else if (const NetworkMessage* message = std::get_if<NetworkMessage>(&decoded)) {
    Accept(datagram.source, *message);
  }
}

void NetworkReceiver::Accept(const NetworkEndpoint& source, const NetworkMessage& message) {
  const IpAddress& address = source.address;
  bool fromThisComputer = IsLoopback(address) || std::any_of(interfaces_.begin(), interfaces_.end(),
                                                             [&](const InterfaceAddress& entry) {
                                                               return entry.address == address;
                                                             });
  std::wstring to = FromAnsi(message.to);
  if (!IsAddressedToThisComputer(to, identity_, fromThisComputer)) return;
  switch (limiter_.Admit(address, GetTickCount64())) {
    case SourceRateLimiter::Verdict::kAccept:
      break;
    case SourceRateLimiter::Verdict::kRefuseWithNotice:
      AppendLog(false, L"Too many messages from " + FormatIpAddress(address) +
                           L": further ones are ignored until it sends fewer.");
      return;
    case SourceRateLimiter::Verdict::kRefuse:
      return;
  }
  std::string receipt = EncodeNetworkReceipt(
      {message.id, ToAnsi(identity_.computerName), ToAnsi(identity_.userName)});
  endpoint_->SendTo(source, receipt);
  if (!seen_.Remember(message.id)) return;
  inbox_.Receive(
      IncomingMessage{FromAnsi(message.from), std::move(to), FromAnsi(message.text), message.id});
}

}  // namespace parvox
