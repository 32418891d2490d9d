// Fuzzes the relay's MQTT session with a script of broker bytes, publishes, acknowledgements,
// time passing and reconnections: it never faults, every publish is reported once and only
// publishes it took are reported, and a closed connection stays closed until the next start.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "relay/RelaySession.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace parvox;
  RelaySessionConfig config;
  config.clientId = "pc7";
  config.keepAliveSeconds = 10;
  config.receiveMaximum = 2;
  config.topicFilters = {"parvox/user/BOB", "parvox/everyone"};
  config.maxQueuedPublishes = 8;
  RelaySession session(config);
  std::set<uint64_t> pending;
  uint64_t nowMs = 0, lastReceipt = 0;
  bool closed = false;
  session.Start(nowMs);

  for (size_t i = 0; i < size;) {
    uint8_t op = data[i++];
    uint8_t argument = i < size ? data[i++] : 0;
    switch (op % 5) {
      case 0: {  // bytes from the broker: `argument` of them
        size_t length = argument < size - i ? argument : size - i;
        session.Receive(std::string_view(reinterpret_cast<const char*>(data + i), length), nowMs);
        i += length;
        break;
      }
      case 1: {
        std::string topic = argument % 16 == 0 ? "parvox/+" : "parvox/user/ALICE";
        RelayPublish publish{.topic = topic,
                             .payload = std::string(argument * 4u, 'x'),
                             .expirySeconds = argument % 8u};
        RelayPublishResult result = session.Publish(publish, nowMs);
        if (result.status == RelayPublishResult::Status::kQueued) {
          CHECK(pending.insert(result.token).second);
        }
        break;
      }
      case 2:
        session.Acknowledge(argument % 2 == 0 ? lastReceipt : lastReceipt ^ 0x10000, nowMs);
        break;
      case 3:
        nowMs += argument * 250u;
        CHECK(session.Tick(nowMs) || !session.Up());
        break;
      case 4:
        session.ConnectionLost();
        session.Start(nowMs);
        closed = false;
        break;
    }
    session.TakeOutput();
    for (RelayEvent& event : session.TakeEvents()) {
      if (auto* published = std::get_if<RelayPublished>(&event)) {
        CHECK(pending.erase(published->token) == 1);
      } else if (auto* message = std::get_if<RelayMessage>(&event)) {
        if (message->receipt != 0) lastReceipt = message->receipt;
      } else if (std::holds_alternative<RelayClosed>(event) ||
                 std::holds_alternative<RelayRefused>(event)) {
        CHECK(!closed);
        closed = true;
      }
    }
    if (closed) CHECK(!session.Up() && !session.Tick(nowMs));
  }
  return 0;
}
