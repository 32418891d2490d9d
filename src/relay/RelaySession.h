// The relay's MQTT 5 client session with the company's broker, as a state machine over bytes and
// time: the caller owns the connection (TLS and TCP) and the clock, and passes both in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "network/MqttPacket.h"

namespace parvox {

struct RelaySessionConfig {
  std::string clientId;
  std::optional<std::string> userName, password;
  uint16_t keepAliveSeconds = 60;  // 0: no pings
  // The broker keeps the subscriptions and holds messages this long while Parvox is away.
  uint32_t sessionExpirySeconds = 7 * 24 * 60 * 60;
  // How many QoS 1 messages the broker may have delivered to us that we have not acknowledged.
  uint16_t receiveMaximum = 16;
  std::vector<std::string> topicFilters;  // subscribed at QoS 1
  uint32_t maximumPacketSize = kDefaultMaxMqttPacketBytes;
  // Publishes waiting and in flight together; beyond them Publish refuses.
  size_t maxQueuedPublishes = 4096;
};

// A QoS 1 message for the broker. It is dropped, not sent late, once `expirySeconds` have passed.
struct RelayPublish {
  std::string topic, payload;
  uint32_t expirySeconds = 600;  // at least 1
  std::optional<std::string> responseTopic, correlationData;
};

struct RelayPublishResult {
  enum class Status {
    kQueued,      // `token` names it in its RelayPublished event
    kQueueFull,   // maxQueuedPublishes are waiting or in flight
    kUnsendable,  // not a valid topic or texts, expiry 0, or larger than the broker takes
  };
  Status status = Status::kQueued;
  uint64_t token = 0;
};

// The broker accepted the connection; the subscriptions follow.
struct RelayConnected {
  bool sessionPresent = false;
};
struct RelayRefusedFilter {
  std::string topicFilter;
  uint8_t reasonCode = 0;
  bool operator==(const RelayRefusedFilter&) const = default;
};
// The broker answered the subscriptions: the session is up, without those it refused.
struct RelaySubscribed {
  std::vector<RelayRefusedFilter> refused;
};
// The broker refused the connection (CONNACK), which ends it as RelayClosed does. `brokerText` is
// the broker's own explanation: untrusted text, to be shown as visible characters only.
struct RelayRefused {
  uint8_t reasonCode = 0;
  std::string reason, brokerText;
};
// A message from the broker. For QoS 1 `receipt` is not 0: pass it to Acknowledge once the
// message has been shown or logged.
struct RelayMessage {
  std::string topic, payload;
  std::optional<std::string> responseTopic, correlationData;
  std::optional<uint32_t> messageExpiryInterval;
  uint16_t packetId = 0;
  uint64_t receipt = 0;
};
struct RelayPublished {
  enum class Outcome { kAccepted, kNoSubscribers, kRefused, kTooLarge, kExpired };
  uint64_t token = 0;
  Outcome outcome = Outcome::kAccepted;
  uint8_t reasonCode = 0;  // the broker's, with kRefused
};
// This connection is over: write what TakeOutput holds (a DISCONNECT when the session ended it),
// close the transport, call ConnectionLost and reconnect later. `brokerText` as in RelayRefused.
struct RelayClosed {
  std::string reason, brokerText;
};
using RelayEvent = std::variant<RelayConnected, RelaySubscribed, RelayRefused, RelayMessage,
                                RelayPublished, RelayClosed>;

// "not authorized (0x87)": the meaning of an MQTT 5 reason code, for the log.
std::string RelayReasonText(uint8_t reasonCode);

class RelaySession {
 public:
  explicit RelaySession(RelaySessionConfig config);

  // A new connection: the CONNECT to write first. Empty when the configuration cannot make one
  // (a RelayClosed event says so).
  std::string Start(uint64_t nowMs);
  // Bytes from the broker, any part of a packet or several. Messages beyond the Receive Maximum
  // wait unread until one is acknowledged.
  void Receive(std::string_view bytes, uint64_t nowMs);
  // Whether to feed Receive now: false while the Receive Maximum of messages waits for
  // acknowledgement, so that what the broker sends beyond it stays in the connection.
  bool WantsInput() const { return unacknowledged_.size() < config_.receiveMaximum; }
  // Queued while offline and beyond the broker's Receive Maximum, sent in order.
  RelayPublishResult Publish(RelayPublish publish, uint64_t nowMs);
  void Acknowledge(uint64_t receipt, uint64_t nowMs);
  // Pings the broker when due. False when the connection is no use any more: the broker stayed
  // silent too long (with a RelayClosed event) or the session already closed it.
  bool Tick(uint64_t nowMs);
  // When Tick next has something to do; none while offline or without keep-alive.
  std::optional<uint64_t> NextDeadlineMs() const;
  std::string TakeOutput();  // bytes to write to the transport now
  std::vector<RelayEvent> TakeEvents();
  // The transport closed. Unacknowledged publishes stay to be sent again; messages received but
  // not yet acknowledged are forgotten, as the broker sends them again.
  void ConnectionLost();
  bool Up() const { return state_ == State::kUp; }

 private:
  enum class State { kOffline, kConnecting, kSubscribing, kUp, kClosed };
  struct Outgoing {
    uint64_t token = 0;
    RelayPublish publish;
    uint64_t queuedMs = 0;
    uint16_t packetId = 0;    // 0 until first sent, and again after a session was lost
    bool sentBefore = false;  // on an earlier connection of the same session: DUP
  };

  bool Connected() const { return state_ == State::kSubscribing || state_ == State::kUp; }
  void ReadInput(uint64_t nowMs);
  void Handle(MqttPacket& packet, uint64_t nowMs);
  void OnConnack(const MqttConnack& connack, uint64_t nowMs);
  void OnPublish(MqttPublish& publish, uint64_t nowMs);
  void OnPuback(const MqttPuback& puback, uint64_t nowMs);
  void OnSuback(const MqttSuback& suback, uint64_t nowMs);
  void Close(uint8_t reasonCode, std::string reason, uint64_t nowMs);
  void Send(const std::string& bytes, uint64_t nowMs);
  void SendWaiting(uint64_t nowMs);
  uint16_t NewPacketId();
  // Reports the publish's outcome and forgets it; the next one follows.
  std::deque<Outgoing>::iterator Resolve(std::deque<Outgoing>::iterator it,
                                         RelayPublished::Outcome outcome, uint8_t reasonCode);
  void ResetConnection();

  RelaySessionConfig config_;
  std::string clientId_;  // the broker may assign one, kept for the session's next connections
  State state_ = State::kOffline;
  uint64_t connection_ = 0;
  std::string input_, output_;
  std::vector<RelayEvent> events_;

  std::deque<Outgoing> outgoing_;  // in the order Publish took them
  size_t inFlight_ = 0;            // the first of outgoing_, sent on this connection
  uint64_t lastToken_ = 0;
  std::set<uint16_t> packetIdsInUse_;
  uint16_t lastPacketId_ = 0;
  uint16_t subscribeId_ = 0;

  std::set<uint16_t> unacknowledged_;  // QoS 1 messages handed out on this connection
  uint16_t brokerReceiveMaximum_ = 65535;
  std::optional<uint32_t> brokerMaximumPacketSize_;
  uint16_t keepAliveSeconds_ = 0;
  uint64_t connectSentMs_ = 0, lastSentMs_ = 0;
  std::optional<uint64_t> pingSentMs_;
};

}  // namespace parvox
