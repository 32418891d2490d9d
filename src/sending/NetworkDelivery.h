// The built-in send's network half: each recipient's message goes out over UDP (unicast to an
// address or a resolved host name, broadcast on this computer's subnets), then the send waits in
// the background, up to 2 s, for the receipts, and logs one line per recipient when it ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "components/UniqueHandle.h"
#include "identity/MessageSigning.h"
#include "network/HostLookup.h"
#include "network/Neighbourhood.h"
#include "network/NetworkDatagram.h"
#include "network/UdpEndpoint.h"
#include "relay/RelayClient.h"
#include "sending/AcknowledgementLedger.h"
#include "sending/DeliveryOutcome.h"
#include "sending/ScriptCommandLine.h"

namespace parvox {

// How long a send waits for receipts, and for its host names to resolve: a name that has not
// resolved by then is taken for a user name.
inline constexpr DWORD kReceiptWaitMs = 2000;

class NetworkSend {
 public:
  // `endpoint` is the receiver's socket, or nullptr when this computer does not receive: the
  // send then opens one of its own. `port` is the one recipients are taken to listen on;
  // receipts are taken from this computer's subnets and `trustedNetworks`.
  NetworkSend(std::shared_ptr<UdpEndpoint> endpoint, uint16_t port,
              std::vector<InterfaceAddress> trustedNetworks, const std::wstring& from,
              const std::wstring& text, DWORD waitMs = kReceiptWaitMs);
  ~NetworkSend();
  NetworkSend(const NetworkSend&) = delete;
  NetworkSend& operator=(const NetworkSend&) = delete;

  // The recipients added from now on also get the message through the relay: a user or computer
  // name on its user's and computer's topics, a domain on its topic. A recipient the broker
  // holds it for, who has not answered by the end, gets a line saying so; so does one whose
  // message waits for the relay to be back, when `holdsWhileAway` (the window's relay, which
  // outlives the send).
  void UseRelay(RelayClient* relay, bool holdsWhileAway);
  // For the recipients added from now on: their message is never shown after this long.
  void ExpireAfterMinutes(unsigned minutes) { lifetimeSeconds_ = uint64_t{minutes} * 60; }
  // For the recipients added from now on: their message carries `options` (kOptionUrgent,
  // kOptionAcknowledgementRequested), and `ledger` awaits their acknowledgements, which this send
  // hands to `report` as log lines when they come to it (a script's socket and relay).
  using LineReport = std::function<void(const std::wstring&)>;
  void AskForAcknowledgement(uint32_t options, AcknowledgementLedger& ledger, LineReport report);
  // Tells the ledger who showed each message, by the receipts, and that the send is complete:
  // call it once they are in. When everyone acknowledged meanwhile, `report` hears so.
  void NoteWhoShowedIt();
  // Sends the recipient's datagrams and returns its index in Tracker(). A domain gets only the
  // broadcasts, with To = the domain.
  size_t AddRecipient(const std::wstring& address, bool domain);
  DeliveryTracker& Tracker() { return tracker_; }

  // Ends the walk: waits on its events until the receipts are in or the time is up (the send
  // then ends, when StartNetworkSend made it); false when it cannot wait or has nothing to wait
  // for.
  bool StartWaiting();
  // A script's send that waits on after that (for acknowledgements): its deadline and lookups
  // are no longer waited on; its socket still is.
  void StopWaiting();
  // Notes the receipt if it answers this very message (its digest) and comes from where that
  // message went (the address, or for a broadcast its subnet); the caller ends the send once
  // AllAnswered(). It proves delivery when its key is the one known for its computer and user;
  // a key not known yet is named but proves nothing and is not remembered. Only signed receipts
  // count: the message was signed, so whoever read it can sign.
  // A receipt for a user or computer must name them, unless it comes from the address the
  // message went straight to: a neighbour's known key cannot stand in for someone it is not.
  void OnReceipt(const SignedReceipt& receipt, const IpAddress& source);
  // True once nothing more can arrive: the walk is over and every recipient was reached by
  // unicast only and answered.
  bool AllAnswered() const;
  // True when a message went straight to `source` (for IPv6, its /64): its receipt is taken even
  // from beyond this computer's subnets and trusted networks.
  bool SentDirectlyTo(const IpAddress& source) const;
  // Logs each recipient's line; the log comes up when one of them got nothing at all.
  void LogOutcome() const;
  // The send ends: receipts for what the relay still holds are taken later, by the window
  // (LateReceipts.h).
  void AwaitLateReceipts() const;

 private:
  struct Recipient {
    uint16_t port = 0;
    bool waitsForMore = false;  // a broadcast or a lookup may still bring receipts
    bool needsAnswer = false;   // a unicast went out
    bool answered = false;
    std::vector<IpAddress> destinations;  // where its datagrams went
    std::vector<IpAddress> unicasts;      // the ones that were its own address
    std::string digest;                   // of its message's datagram, which receipts name
    // A user or computer name, folded. Empty for a domain, which anyone in it may answer, and for
    // an address, whose computer may answer from another of its addresses.
    std::wstring name;
    bool relayed = false;       // published to the relay: its receipts may come from there
    bool takenByRelay = false;  // the broker took it for a subscriber
    uint64_t id = 0;            // of its message
    // Each receipt that names its message costs a signature check, and a neighbour who saw a
    // broadcast could send any number: a recipient's own allowance, so that a flood of them
    // spends no other recipient's.
    size_t checksLeft = 16;
  };
  // Whether a receipt in this computer's and user's names may answer `recipient` from `source`.
  bool AnswersFor(const Recipient& recipient, const SignedReceipt& receipt,
                  const IpAddress& source) const;
  bool CountSignedReceipt(size_t recipient, const SignedReceipt& receipt);
  void PublishToRelay(size_t index, const std::wstring& to, bool domain,
                      const std::string& datagram);
  void OnLookups();
  void OnOwnSocket();

  std::shared_ptr<UdpEndpoint> endpoint_;
  bool ownEndpoint_ = false;
  bool walking_ = true;  // recipients are still being added
  DWORD waitMs_;
  uint16_t port_;
  std::string from_, text_, computer_;  // UTF-8
  const SigningKey* key_;
  uint64_t lifetimeSeconds_ = uint64_t{kDefaultExpireMinutes} * 60;
  uint32_t options_ = 0;
  AcknowledgementLedger* acknowledgements_ = nullptr;
  LineReport reportAcknowledgement_;
  uint64_t sendNumber_ = 0;  // what the ledger lists this send's recipients under
  RelayClient* relay_ = nullptr;
  bool relayHoldsWhileAway_ = false;
  uint64_t sentAt_ = 0;     // seconds since 1970, of the last message signed
  std::string replyTopic_;  // this user's own, where receipts come through the relay
  // The broker's answers may come after the send ended: they reach it only while it lives.
  std::shared_ptr<NetworkSend*> self_ = std::make_shared<NetworkSend*>(this);
  Neighbourhood neighbourhood_;
  std::vector<IpAddress> broadcasts_;
  std::unique_ptr<HostLookup> lookup_;
  size_t lookupsPending_ = 0;
  std::vector<Recipient> recipients_;
  std::vector<std::string> datagrams_;  // by recipient, kept for the unicast after a lookup
  std::unordered_map<uint64_t, size_t> byId_;
  std::set<IpAddress> directGroups_;  // SourceGroup of each unicast destination
  DeliveryTracker tracker_;
  EventHandle deadline_;
  std::vector<HANDLE> waitingOn_;
};

// A new send, kept until it ends: receipts reach it while its recipients are still being added.
NetworkSend& StartNetworkSend(std::shared_ptr<UdpEndpoint> endpoint, uint16_t port,
                              std::vector<InterfaceAddress> trustedNetworks,
                              const std::wstring& from, const std::wstring& text);
// The walk is over: the send waits for its receipts, and its lines are logged when it ends (at
// once when there is nothing to wait for).
void WaitForReceipts(NetworkSend& send);
// A receipt that arrived on the receiver's port from `source`, for whichever send it answers.
void DeliverReceipt(const SignedReceipt& receipt, const IpAddress& source);
bool ReceiptsPending();
// Whether a waiting send went straight to `source`, whose receipts are then worth decoding.
bool ReceiptAwaitedFrom(const IpAddress& source);
// Ends every waiting send now, with what has arrived (the program is closing).
void FinishWaitingSends();

}  // namespace parvox
