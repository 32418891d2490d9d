// A colleague at the broker, driven from the test's thread beside the window.
#include "support/BrokerPeer.h"

#include "components/AnsiText.h"
#include "network/NetworkDatagram.h"
#include "relay/RelaySetup.h"
#include "relay/RelayTopics.h"
#include "support/MessagePump.h"

namespace parvox::test {
namespace {

RelaySessionConfig Config(const std::string& clientId, const std::string& topic,
                          uint32_t sessionExpirySeconds) {
  RelaySessionConfig config;
  config.clientId = clientId;
  config.sessionExpirySeconds = sessionExpirySeconds;
  config.topicFilters = {topic};
  config.receiveMaximum = 1000;
  return config;
}

uint64_t NewId() {
  static uint64_t next = GetTickCount64() << 16;
  return ++next;
}

}  // namespace

BrokerPeer::BrokerPeer(uint16_t port, const std::string& name, uint32_t sessionExpirySeconds,
                       const std::string& clientId, const std::string& topicFilter)
    : name_(name),
      computer_("PC" + name + std::to_string(GetTickCount64() % 100000)),
      topic_(*RelayTopic(RelayTopicKind::kUser, RelayName(FromUtf8(name)))),
      connection_(L"127.0.0.1", port, false),
      session_(Config(clientId.empty() ? "test-" + name : clientId,
                      topicFilter.empty() ? topic_ : topicFilter, sessionExpirySeconds)) {
  connection_.Write(session_.Start(GetTickCount64()));
}

bool BrokerPeer::Until(const std::function<bool()>& done, ULONGLONG patienceMs) {
  for (ULONGLONG giveUp = GetTickCount64() + patienceMs; !done();) {
    if (GetTickCount64() > giveUp) return false;
    PumpMessages();
    ULONGLONG now = GetTickCount64();
    connection_.Service(now);
    session_.Receive(connection_.TakeReceived(), now);
    for (RelayEvent& event : session_.TakeEvents()) {
      if (std::holds_alternative<RelaySubscribed>(event)) up_ = true;
      if (auto* published = std::get_if<RelayPublished>(&event)) outcomes_.push_back(*published);
      if (auto* message = std::get_if<RelayMessage>(&event)) {
        session_.Acknowledge(message->receipt, now);
        arrived_.push_back(std::move(*message));
      }
    }
    connection_.Write(session_.TakeOutput());
    HANDLE event = connection_.Event();
    MsgWaitForMultipleObjects(1, &event, FALSE, 1, QS_ALLINPUT);
  }
  return true;
}

bool BrokerPeer::Up() {
  return Until([&] { return up_; });
}

std::string BrokerPeer::Message(const std::string& to, const std::string& text,
                                int64_t sentAgo) const {
  uint64_t sentAt = SecondsSince1970() - sentAgo;
  return SealDatagram(
      SignedMessage{
          NewId(), sentAt, key_->PublicKey(), name_, to, computer_, text, {}, sentAt + 86400},
      *key_);
}

void BrokerPeer::Publish(const std::string& topic, const std::string& payload) {
  session_.Publish({topic, payload, 600, topic_, {}}, GetTickCount64());
}

bool BrokerPeer::PublishUntilTaken(const std::string& topic, const std::string& payload) {
  for (ULONGLONG giveUp = GetTickCount64() + 20000; GetTickCount64() < giveUp;) {
    outcomes_.clear();
    Publish(topic, payload);
    if (!Until([&] { return !outcomes_.empty(); })) return false;
    if (outcomes_[0].outcome == RelayPublished::Outcome::kAccepted) return true;
    Sleep(100);
  }
  return false;
}

std::optional<RelayMessage> BrokerPeer::Next() {
  if (!Until([&] { return !arrived_.empty(); })) return std::nullopt;
  RelayMessage message = std::move(arrived_.front());
  arrived_.erase(arrived_.begin());
  return message;
}

void BrokerPeer::Answer(const RelayMessage& message) {
  DecodedDatagram decoded = DecodeNetworkDatagram(message.payload);
  const auto* answered = std::get_if<SignedMessage>(&decoded);
  if (answered == nullptr) return;
  SignedReceipt receipt{answered->id,
                        SecondsSince1970(),
                        Sha256(message.payload),
                        key_->PublicKey(),
                        computer_,
                        name_,
                        {}};
  outcomes_.clear();
  session_.Publish({message.responseTopic.value_or(""), SealDatagram(receipt, *key_), 600,
                    std::nullopt, message.correlationData},
                   GetTickCount64());
  Until([&] { return !outcomes_.empty(); });
}

}  // namespace parvox::test
