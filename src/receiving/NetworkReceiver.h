// Receives messages from other Parvox programs on the UDP port: accepts those addressed to this
// computer, answers each with a receipt and hands it to the inbox once; receipts that answer
// this computer's own sends go to whoever sent. Cheap checks come first: the source, the
// decoder, the address, then the rate limit.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "network/Neighbourhood.h"
#include "network/NetworkDatagram.h"
#include "network/RateLimits.h"
#include "network/UdpEndpoint.h"
#include "receiving/LocalIdentity.h"
#include "receiving/MessageInbox.h"
#include "receiving/NetworkAcceptance.h"

namespace parvox {

class NetworkReceiver {
 public:
  using ReceiptHandler = std::function<void(const NetworkReceipt&, const IpAddress& source)>;

  NetworkReceiver(MessageInbox& inbox, ReceiptHandler onReceipt)
      : inbox_(inbox), onReceipt_(std::move(onReceipt)) {}
  ~NetworkReceiver() { Stop(); }
  NetworkReceiver(const NetworkReceiver&) = delete;
  NetworkReceiver& operator=(const NetworkReceiver&) = delete;

  // Opens the port and starts receiving. False, with one line in the log, when it cannot.
  bool Start(uint16_t port);
  void Stop();
  bool Running() const { return endpoint_ != nullptr; }
  // The socket sends go out from, so that their receipts come back here. Shared: a send still
  // waiting for receipts may outlive the receiver.
  std::shared_ptr<UdpEndpoint> Endpoint() const { return endpoint_; }

 private:
  void OnArrived();
  void Handle(const ReceivedDatagram& datagram);
  void Accept(const NetworkEndpoint& source, const NetworkMessage& message);
  bool IsAddressedHere(const std::wstring& to, const IpAddress& source);
  void FollowInterfaces();

  MessageInbox& inbox_;
  ReceiptHandler onReceipt_;
  std::shared_ptr<UdpEndpoint> endpoint_;
  std::unique_ptr<Neighbourhood> neighbourhood_;
  LocalIdentity identity_;
  uint64_t identityGeneration_ = 0;  // the neighbourhood's, when identity_ was read
  MessageIdMemory seen_;
  SourceRateLimiter limiter_;
};

}  // namespace parvox
