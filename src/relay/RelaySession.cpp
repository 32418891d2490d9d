// The relay's MQTT 5 client session: connect, subscribe, publish with the broker's flow control,
// hand out what arrives for the caller to acknowledge, keep the connection alive, and close it
// over anything the broker must not send.
#include "relay/RelaySession.h"

#include <cstddef>
#include <cstdio>
#include <utility>

namespace parvox {
namespace {

// A broker that accepted the TCP and TLS connection answers CONNECT at once or not at all.
constexpr uint64_t kConnackWaitMs = 30'000;

constexpr uint8_t kMalformedPacket = 0x81;
constexpr uint8_t kProtocolError = 0x82;
constexpr uint8_t kUnspecifiedError = 0x80;

const char* ReasonName(uint8_t code) {
  static constexpr struct {
    uint8_t code;
    const char* name;
  } kNames[] = {
      {0x00, "success"},
      {0x04, "disconnect with will message"},
      {0x10, "no matching subscribers"},
      {0x80, "unspecified error"},
      {0x81, "malformed packet"},
      {0x82, "protocol error"},
      {0x83, "implementation specific error"},
      {0x84, "unsupported protocol version"},
      {0x85, "client identifier not valid"},
      {0x86, "bad user name or password"},
      {0x87, "not authorized"},
      {0x88, "server unavailable"},
      {0x89, "server busy"},
      {0x8A, "banned"},
      {0x8B, "server shutting down"},
      {0x8C, "bad authentication method"},
      {0x8D, "keep alive timeout"},
      {0x8E, "session taken over"},
      {0x8F, "topic filter invalid"},
      {0x90, "topic name invalid"},
      {0x91, "packet identifier in use"},
      {0x93, "receive maximum exceeded"},
      {0x94, "topic alias invalid"},
      {0x95, "packet too large"},
      {0x96, "message rate too high"},
      {0x97, "quota exceeded"},
      {0x98, "administrative action"},
      {0x99, "payload format invalid"},
      {0x9A, "retain not supported"},
      {0x9B, "QoS not supported"},
      {0x9C, "use another server"},
      {0x9D, "server moved"},
      {0x9F, "connection rate exceeded"},
      {0xA0, "maximum connect time"},
      {0xA1, "subscription identifiers not supported"},
      {0xA2, "wildcard subscriptions not supported"},
  };
  for (const auto& each : kNames) {
    if (each.code == code) return each.name;
  }
  return "unknown reason";
}

MqttPublish PublishPacket(const RelayPublish& publish, uint16_t packetId, bool dup,
                          uint32_t expirySeconds) {
  MqttPublish packet{.dup = dup, .qos = 1, .topic = publish.topic, .packetId = packetId};
  packet.messageExpiryInterval = expirySeconds;
  packet.responseTopic = publish.responseTopic;
  packet.correlationData = publish.correlationData;
  packet.payload = publish.payload;
  return packet;
}

// Seconds left of a message's expiry after it waited since `queuedMs`; a started second counts
// as gone, so the broker never holds a message past the time it was given.
std::optional<uint32_t> ExpiryLeft(uint32_t expirySeconds, uint64_t queuedMs, uint64_t nowMs) {
  uint64_t waitedSeconds = nowMs > queuedMs ? (nowMs - queuedMs + 999) / 1000 : 0;
  if (waitedSeconds >= expirySeconds) return std::nullopt;
  return static_cast<uint32_t>(expirySeconds - waitedSeconds);
}

}  // namespace

std::string RelayReasonText(uint8_t reasonCode) {
  char code[8];
  std::snprintf(code, sizeof code, "0x%02X", reasonCode);
  return std::string(ReasonName(reasonCode)) + " (" + code + ")";
}

RelaySession::RelaySession(RelaySessionConfig config)
    : config_(std::move(config)), clientId_(config_.clientId) {}

std::string RelaySession::Start(uint64_t nowMs) {
  ResetConnection();
  ++connection_;
  MqttConnect connect{clientId_,
                      /*cleanStart*/ false,
                      config_.keepAliveSeconds,
                      config_.userName,
                      config_.password,
                      config_.sessionExpirySeconds,
                      config_.receiveMaximum,
                      config_.maximumPacketSize};
  std::string bytes = EncodeMqttPacket(connect);
  if (bytes.empty()) {
    state_ = State::kClosed;
    events_.push_back(
        RelayClosed{"the relay's client id, user name, password or limits cannot "
                    "be sent to a broker",
                    {}});
    return {};
  }
  state_ = State::kConnecting;
  connectSentMs_ = lastSentMs_ = nowMs;
  return bytes;
}

void RelaySession::ResetConnection() {
  state_ = State::kOffline;
  input_.clear();
  output_.clear();
  unacknowledged_.clear();
  if (subscribeId_ != 0) packetIdsInUse_.erase(subscribeId_);
  subscribeId_ = 0;
  inFlight_ = 0;
  pingSentMs_.reset();
}

void RelaySession::ConnectionLost() { ResetConnection(); }

void RelaySession::Receive(std::string_view bytes, uint64_t nowMs) {
  if (state_ == State::kOffline || state_ == State::kClosed) return;
  input_.append(bytes);
  // The broker is there, whatever of it still waits unread.
  if (!bytes.empty()) pingSentMs_.reset();
  ReadInput(nowMs);
}

void RelaySession::ReadInput(uint64_t nowMs) {
  size_t used = 0;
  // Beyond our Receive Maximum the rest waits unread until a message is acknowledged: a broker
  // that resumes a session may resend what was in flight on top of it (Mosquitto 2.0 does), and
  // the caller feeds no more meanwhile (WantsInput), so TCP holds the broker back.
  while (state_ != State::kClosed && unacknowledged_.size() < config_.receiveMaximum) {
    MqttDecoded decoded =
        DecodeMqttPacket(std::string_view(input_).substr(used), config_.maximumPacketSize);
    if (decoded.status == MqttDecodeStatus::kNeedMore) break;
    if (decoded.status == MqttDecodeStatus::kMalformed) {
      Close(kMalformedPacket, "the broker sent a malformed or oversized packet", nowMs);
      break;
    }
    used += decoded.size;
    Handle(decoded.packet, nowMs);
  }
  if (state_ == State::kClosed) {
    input_.clear();
  } else {
    input_.erase(0, used);
  }
}

void RelaySession::Handle(MqttPacket& packet, uint64_t nowMs) {
  if (auto* connack = std::get_if<MqttConnack>(&packet)) {
    if (state_ != State::kConnecting) {
      return Close(kProtocolError, "the broker accepted the connection a second time", nowMs);
    }
    return OnConnack(*connack, nowMs);
  }
  if (auto* disconnect = std::get_if<MqttDisconnect>(&packet)) {
    state_ = State::kClosed;
    events_.push_back(
        RelayClosed{"the broker closed the connection: " + RelayReasonText(disconnect->reasonCode),
                    disconnect->reasonString.value_or("")});
    return;
  }
  if (state_ == State::kConnecting) {
    return Close(kProtocolError, "the broker sent a packet before accepting the connection", nowMs);
  }
  if (auto* publish = std::get_if<MqttPublish>(&packet)) return OnPublish(*publish, nowMs);
  if (auto* puback = std::get_if<MqttPuback>(&packet)) return OnPuback(*puback, nowMs);
  if (auto* suback = std::get_if<MqttSuback>(&packet)) return OnSuback(*suback, nowMs);
  // PINGRESP needs nothing beyond having arrived; the decoder lets no client packet through.
}

void RelaySession::OnConnack(const MqttConnack& connack, uint64_t nowMs) {
  if (connack.reasonCode >= 0x80) {
    state_ = State::kClosed;
    events_.push_back(
        RelayRefused{connack.reasonCode,
                     "the broker refused the connection: " + RelayReasonText(connack.reasonCode),
                     connack.reasonString.value_or("")});
    return;
  }
  if (connack.maximumQos == 0) {
    return Close(kUnspecifiedError,
                 "the broker takes no acknowledged (QoS 1) messages, which the relay needs", nowMs);
  }
  if (connack.assignedClientId) clientId_ = *connack.assignedClientId;
  brokerReceiveMaximum_ = connack.receiveMaximum.value_or(65535);
  brokerMaximumPacketSize_ = connack.maximumPacketSize;
  keepAliveSeconds_ = connack.serverKeepAlive.value_or(config_.keepAliveSeconds);
  if (!connack.sessionPresent) {
    // The broker forgot the session, and with it the packet ids: what was sent goes again as new.
    for (Outgoing& each : outgoing_) {
      if (each.packetId != 0) packetIdsInUse_.erase(each.packetId);
      each.packetId = 0;
      each.sentBefore = false;
    }
  }
  events_.push_back(RelayConnected{connack.sessionPresent});

  std::vector<MqttSubscription> subscriptions;
  for (const std::string& filter : config_.topicFilters) subscriptions.push_back({filter, 1});
  std::string subscribe;
  if (!subscriptions.empty()) {
    subscribeId_ = NewPacketId();
    subscribe = EncodeMqttPacket(MqttSubscribe{subscribeId_, std::move(subscriptions)});
  }
  if (subscribe.empty()) {
    // Nothing to subscribe to, or filters no broker could take: the session is up without them.
    RelaySubscribed subscribed;
    for (const std::string& filter : config_.topicFilters) {
      subscribed.refused.push_back({filter, 0x8F});
    }
    if (subscribeId_ != 0) packetIdsInUse_.erase(subscribeId_);
    subscribeId_ = 0;
    state_ = State::kUp;
    events_.push_back(std::move(subscribed));
  } else {
    state_ = State::kSubscribing;
    Send(subscribe, nowMs);
  }
  SendWaiting(nowMs);
}

void RelaySession::OnSuback(const MqttSuback& suback, uint64_t nowMs) {
  if (subscribeId_ == 0 || suback.packetId != subscribeId_ ||
      suback.reasonCodes.size() != config_.topicFilters.size()) {
    return Close(kProtocolError, "the broker answered a subscription that was not asked for",
                 nowMs);
  }
  RelaySubscribed subscribed;
  for (size_t i = 0; i < suback.reasonCodes.size(); ++i) {
    if (suback.reasonCodes[i] >= 0x80) {
      subscribed.refused.push_back({config_.topicFilters[i], suback.reasonCodes[i]});
    }
  }
  packetIdsInUse_.erase(subscribeId_);
  subscribeId_ = 0;
  state_ = State::kUp;
  events_.push_back(std::move(subscribed));
}

void RelaySession::OnPublish(MqttPublish& publish, uint64_t nowMs) {
  RelayMessage message{std::move(publish.topic),         std::move(publish.payload),
                       std::move(publish.responseTopic), std::move(publish.correlationData),
                       publish.messageExpiryInterval,    publish.packetId};
  if (publish.qos == 1) {
    if (unacknowledged_.count(publish.packetId) != 0) {
      return Close(kProtocolError,
                   "the broker sent packet id " + std::to_string(publish.packetId) +
                       " again before it was acknowledged",
                   nowMs);
    }
    unacknowledged_.insert(publish.packetId);
    message.receipt = connection_ << 16 | publish.packetId;
  }
  events_.push_back(std::move(message));
}

void RelaySession::OnPuback(const MqttPuback& puback, uint64_t nowMs) {
  auto inFlightEnd = outgoing_.begin() + static_cast<std::ptrdiff_t>(inFlight_);
  auto it = outgoing_.begin();
  while (it != inFlightEnd && it->packetId != puback.packetId) ++it;
  if (it == inFlightEnd) {
    return Close(kProtocolError,
                 "the broker acknowledged packet id " + std::to_string(puback.packetId) +
                     ", which was not sent",
                 nowMs);
  }
  using Outcome = RelayPublished::Outcome;
  if (puback.reasonCode == 0x00) {
    Resolve(it, Outcome::kAccepted, 0);
  } else if (puback.reasonCode == 0x10) {
    Resolve(it, Outcome::kNoSubscribers, 0);
  } else if (puback.reasonCode >= 0x80) {
    Resolve(it, Outcome::kRefused, puback.reasonCode);
  } else {
    return Close(kProtocolError,
                 "the broker answered a message with " + RelayReasonText(puback.reasonCode), nowMs);
  }
  SendWaiting(nowMs);
}

RelayPublishResult RelaySession::Publish(RelayPublish publish, uint64_t nowMs) {
  using Status = RelayPublishResult::Status;
  std::string bytes =
      EncodeMqttPacket(PublishPacket(publish, /*packetId*/ 1, false, publish.expirySeconds));
  if (publish.expirySeconds == 0 || bytes.empty() ||
      (Connected() && brokerMaximumPacketSize_ && bytes.size() > *brokerMaximumPacketSize_)) {
    return {Status::kUnsendable};
  }
  if (outgoing_.size() >= config_.maxQueuedPublishes) return {Status::kQueueFull};
  outgoing_.push_back({++lastToken_, std::move(publish), nowMs});
  if (Connected()) SendWaiting(nowMs);
  return {Status::kQueued, lastToken_};
}

// Sends what waits, oldest first, while the broker's Receive Maximum leaves room. What is in
// flight is always the front of the queue, as everything is sent in order.
void RelaySession::SendWaiting(uint64_t nowMs) {
  auto it = outgoing_.begin() + static_cast<std::ptrdiff_t>(inFlight_);
  while (it != outgoing_.end() && inFlight_ < brokerReceiveMaximum_ && Connected()) {
    std::optional<uint32_t> expiry = ExpiryLeft(it->publish.expirySeconds, it->queuedMs, nowMs);
    if (!expiry) {
      it = Resolve(it, RelayPublished::Outcome::kExpired, 0);
      continue;
    }
    if (it->packetId == 0) it->packetId = NewPacketId();
    std::string bytes =
        EncodeMqttPacket(PublishPacket(it->publish, it->packetId, it->sentBefore, *expiry));
    if (brokerMaximumPacketSize_ && bytes.size() > *brokerMaximumPacketSize_) {
      it = Resolve(it, RelayPublished::Outcome::kTooLarge, 0);
      continue;
    }
    Send(bytes, nowMs);
    it->sentBefore = true;
    ++inFlight_;
    ++it;
  }
}

std::deque<RelaySession::Outgoing>::iterator RelaySession::Resolve(
    std::deque<Outgoing>::iterator it, RelayPublished::Outcome outcome, uint8_t reasonCode) {
  events_.push_back(RelayPublished{it->token, outcome, reasonCode});
  if (it->packetId != 0) packetIdsInUse_.erase(it->packetId);
  if (it - outgoing_.begin() < static_cast<std::ptrdiff_t>(inFlight_)) --inFlight_;
  return outgoing_.erase(it);
}

uint16_t RelaySession::NewPacketId() {
  // At most maxQueuedPublishes plus one SUBSCRIBE are in use, far fewer than the 65,535 ids.
  do {
    lastPacketId_ = static_cast<uint16_t>(lastPacketId_ == 65535 ? 1 : lastPacketId_ + 1);
  } while (packetIdsInUse_.count(lastPacketId_) != 0);
  packetIdsInUse_.insert(lastPacketId_);
  return lastPacketId_;
}

void RelaySession::Acknowledge(uint64_t receipt, uint64_t nowMs) {
  // A receipt from an earlier connection names a packet id the broker may have given to another
  // message since: acknowledging that one would lose it if Parvox stopped before showing it.
  if (!Connected() || receipt >> 16 != connection_) return;
  auto packetId = static_cast<uint16_t>(receipt & 0xFFFF);
  if (unacknowledged_.erase(packetId) != 0) {
    Send(EncodeMqttPacket(MqttPuback{.packetId = packetId}), nowMs);
    ReadInput(nowMs);
  }
}

void RelaySession::Close(uint8_t reasonCode, std::string reason, uint64_t nowMs) {
  Send(EncodeMqttPacket(MqttDisconnect{.reasonCode = reasonCode}), nowMs);
  state_ = State::kClosed;
  events_.push_back(RelayClosed{std::move(reason), {}});
}

void RelaySession::Send(const std::string& bytes, uint64_t nowMs) {
  output_ += bytes;
  lastSentMs_ = nowMs;
}

bool RelaySession::Tick(uint64_t nowMs) {
  if (state_ == State::kClosed) return false;
  std::optional<uint64_t> deadline = NextDeadlineMs();
  if (!deadline || nowMs < *deadline) return true;
  if (state_ == State::kConnecting || pingSentMs_) {
    events_.push_back(RelayClosed{state_ == State::kConnecting
                                      ? "the broker did not answer the connection request"
                                      : "the broker stopped answering",
                                  {}});
    state_ = State::kClosed;
    return false;
  }
  Send(EncodeMqttPacket(MqttPingreq{}), nowMs);
  pingSentMs_ = nowMs;
  return true;
}

std::optional<uint64_t> RelaySession::NextDeadlineMs() const {
  if (state_ == State::kConnecting) return connectSentMs_ + kConnackWaitMs;
  if (!Connected() || keepAliveSeconds_ == 0) return std::nullopt;
  uint64_t keepAliveMs = uint64_t{keepAliveSeconds_} * 1000;
  // The broker waits one and a half keep-alive periods before it gives up on us; so do we.
  if (pingSentMs_) return *pingSentMs_ + keepAliveMs * 3 / 2;
  return lastSentMs_ + keepAliveMs;
}

std::string RelaySession::TakeOutput() { return std::exchange(output_, {}); }

std::vector<RelayEvent> RelaySession::TakeEvents() { return std::exchange(events_, {}); }

}  // namespace parvox
