// Receives messages from other Parvox programs on the UDP port: accepts those addressed to this
// computer, answers each with a receipt and hands it to the inbox once; receipts that answer
// this computer's own sends go to whoever sent. Cheap checks come first: the source, the
// decoder, the address, the rate limit and the shared budget; only then the signature, so that
// a flood of forged datagrams costs at most the budget's worth of signature checks.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "components/UniqueHandle.h"
#include "identity/LocalIdentity.h"
#include "network/Neighbourhood.h"
#include "network/NetworkDatagram.h"
#include "network/RateLimits.h"
#include "network/UdpEndpoint.h"
#include "receiving/MessageInbox.h"
#include "receiving/NetworkAcceptance.h"
#include "receiving/ReplayJournal.h"
#include "relay/RelayClient.h"

namespace parvox {

class NetworkReceiver {
 public:
  using ReceiptHandler = std::function<void(const SignedReceipt&, const IpAddress& source)>;

  // Whether receipts from a source beyond the neighbourhood are awaited (a send went there).
  using ReceiptSourceCheck = std::function<bool(const IpAddress& source)>;

  NetworkReceiver(MessageInbox& inbox, ReceiptHandler onReceipt,
                  ReceiptSourceCheck awaitsReceiptFrom = {})
      : inbox_(inbox),
        onReceipt_(std::move(onReceipt)),
        awaitsReceiptFrom_(std::move(awaitsReceiptFrom)) {}
  ~NetworkReceiver() { Stop(); }
  NetworkReceiver(const NetworkReceiver&) = delete;
  NetworkReceiver& operator=(const NetworkReceiver&) = delete;

  // Opens the port and starts receiving from this computer's subnets and `trustedNetworks`.
  // False, with one line in the log, when it cannot: what comes through the relay is taken all
  // the same (on a terminal server only one user's Parvox holds the port).
  bool Start(uint16_t port, const std::vector<InterfaceAddress>& trustedNetworks);
  void Stop();
  bool Running() const { return endpoint_ != nullptr; }
  // The socket sends go out from, so that their receipts come back here. Shared: a send still
  // waiting for receipts may outlive the receiver.
  std::shared_ptr<UdpEndpoint> Endpoint() const { return endpoint_; }

  // What arrives through `relay` (messages and receipts) is taken like a datagram on the port,
  // at the shared budget's pace (leaving some of it to the local network), and acknowledged to
  // the broker only once it was shown or logged: a queue that waited for this computer drains
  // instead of being dropped as a flood, and a broker that floods is held back by the budget.
  void UseRelay(RelayClient* relay);
  void OnRelayed(RelayMessage message);

 private:
  void OnArrived();
  void Handle(const ReceivedDatagram& datagram);
  // Where a message came from and how it is answered: a UDP source, or the relay (whose source
  // is a stand-in address that counts as one source).
  struct Route {
    NetworkEndpoint source;
    const RelayMessage* relayed = nullptr;
  };
  // Sends a receipt or acknowledgement back by the route; false when it could not go.
  bool Answer(const Route& route, const std::string& answer);
  // What the pop-up's Acknowledge calls: the acknowledgement is signed when it is pressed, and
  // goes by the message's route for as long as this receiver lives.
  std::function<bool()> Acknowledger(const Route& route, uint64_t id, std::string digest);
  void DrainRelayed();
  // Drains on a later turn of the window: at once (0), or after `ms`; false when it cannot.
  bool DrainAfterMs(int ms);
  void HandleRelayed(const RelayMessage& message);
  void AcceptClassic(const NetworkEndpoint& source, const NetworkMessage& message);
  void AcceptSigned(const Route& route, const SignedMessage& message, std::string_view bytes);
  // Addressed here, within its source's rate (the relay's was taken before) and not seen before
  // (by id and content).
  bool PassesCheapChecks(const Route& route, const IncomingMessage& message, uint64_t contentKey);
  static uint64_t RouteKey(const NetworkEndpoint& source);
  // Remembers the key of a first contact being shown, within the limits on new senders.
  Verification::KeyMemory RememberNewSender(const Route& route, const std::wstring& sender,
                                            const std::string& key);
  // A receipt or acknowledgement of the message `id` whose datagram has `digest`, signed now.
  std::string SignedAnswer(NetworkKind kind, uint64_t id, std::string_view digest) const;
  bool IsAddressedHere(const std::wstring& to, const IpAddress& source);
  void FollowInterfaces();

  MessageInbox& inbox_;
  bool receiving_ = false;
  ReceiptHandler onReceipt_;
  ReceiptSourceCheck awaitsReceiptFrom_;
  std::shared_ptr<UdpEndpoint> endpoint_;
  std::unique_ptr<Neighbourhood> neighbourhood_;
  LocalIdentity identity_;
  uint64_t identityGeneration_ = 0;  // the neighbourhood's, when identity_ was read
  MessageIdMemory seen_;
  // Ids by the key that signed them, for as long as each could be taken, across restarts.
  ReplayJournal replays_;
  MessageIdMemory answeredRoutes_{16384};  // by id, key and route
  SourceRateLimiter limiter_;
  // One line per source per minute for what is dropped after its signature was checked.
  SourceRateLimiter droppedLines_{{1, 1.0 / 60}};
  SourceRateLimiter newSenders_{{3, 3.0 / 3600}};  // new senders a source may introduce
  static constexpr RateLimit kNewSendersOverall{30, 30.0 / 3600};
  TokenBucket newSendersOverall_{kNewSendersOverall, 0};

  RelayClient* relay_ = nullptr;
  // Held unacknowledged until the pace allows; the broker sends no more than the session's
  // receive maximum at a time, so this stays that short.
  std::deque<RelayMessage> relayed_;
  bool draining_ = false;
  bool drainDue_ = false;  // the timer will drain
  EventHandle relayTimer_;
  // Pop-ups outlive nothing they cannot check: their acknowledgements go through this.
  std::shared_ptr<NetworkReceiver*> self_ = std::make_shared<NetworkReceiver*>(this);
};

}  // namespace parvox
