// Another Parvox user as the broker sees them, for the relay's tests and benchmarks: an MQTT
// session of the test's own on the broker's plain loopback listener, which takes every message at
// once and answers as that user's Parvox would.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "identity/MessageSigning.h"
#include "relay/BrokerConnection.h"
#include "relay/RelaySession.h"

namespace parvox::test {

class BrokerPeer {
 public:
  // `name` is the user; the broker keeps the session `sessionExpirySeconds` after it ends. It
  // reads its own user's topic, or `topicFilter`.
  BrokerPeer(uint16_t port, const std::string& name, uint32_t sessionExpirySeconds,
             const std::string& clientId = "", const std::string& topicFilter = "");

  // Services this session and the window's until `done` holds; false when it never did within
  // `patienceMs` (a guard against hanging, not a speed check).
  bool Until(const std::function<bool()>& done, ULONGLONG patienceMs = 20000);
  bool Up();

  // A message from this user, signed and expiring a day after `sentAgo` seconds ago.
  std::string Message(const std::string& to, const std::string& text, int64_t sentAgo = 0) const;
  // Queued for `topic`, with this user's own topic for the receipt.
  void Publish(const std::string& topic, const std::string& payload);
  // Published to `topic` until the broker has a subscriber for it; false when it never had.
  bool PublishUntilTaken(const std::string& topic, const std::string& payload);
  // The next datagram that came to this user's topic.
  std::optional<RelayMessage> Next();
  // Answers a message as this user's Parvox does once it has shown it.
  void Answer(const RelayMessage& message);
  // Publishes the broker has answered since the last PublishUntilTaken or Answer.
  size_t Taken() const { return outcomes_.size(); }
  const std::string& Computer() const { return computer_; }
  const std::string& Topic() const { return topic_; }

 private:
  std::string name_, computer_, topic_;
  std::unique_ptr<SigningKey> key_ = SigningKey::Generate();
  BrokerConnection connection_;
  RelaySession session_;
  bool up_ = false;
  std::vector<RelayPublished> outcomes_;
  std::vector<RelayMessage> arrived_;
};

}  // namespace parvox::test
