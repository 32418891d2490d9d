// The relay as the program uses it: one session with the company's broker, kept up for as long as
// the program runs (reconnecting with growing, jittered waits), carrying signed datagrams out and
// handing those that arrive to their handler. A broker that cannot be reached costs one log line
// per outage; the local network keeps working meanwhile.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "components/UniqueHandle.h"
#include "network/NetworkAddress.h"
#include "relay/BrokerConnection.h"
#include "relay/ReconnectBackoff.h"
#include "relay/RelayServerAddress.h"
#include "relay/RelaySession.h"

namespace parvox {

// The stand-in source of what came through the relay, for the limits and routes keyed by
// source: an address of the discard-only prefix 100::/64, from which no datagram ever comes.
IpAddress RelaySourceAddress();

class RelayClient {
 public:
  // Each message that arrives; the handler passes its `receipt` to Acknowledge once it was shown
  // or logged (or at once, for what it drops), so that the broker holds the rest meanwhile.
  using MessageHandler = std::function<void(const RelayMessage&)>;
  using PublishedHandler = std::function<void(const RelayPublished&)>;

  RelayClient(RelayServer server, RelaySessionConfig config, MessageHandler onMessage);
  ~RelayClient();
  RelayClient(const RelayClient&) = delete;
  RelayClient& operator=(const RelayClient&) = delete;

  // Connects, and keeps connecting until the client is destroyed. False when it cannot wait.
  bool Start();
  // Queued while the broker is away (as long as the message may live); `onPublished` hears
  // whether the broker took it.
  RelayPublishResult Publish(RelayPublish publish, PublishedHandler onPublished = {});
  void Acknowledge(uint64_t receipt);
  bool Up() const { return session_.Up(); }
  // "mqtts://host:port", for log lines.
  const std::wstring& Name() const { return name_; }

 private:
  void OnConnection();
  void OnTimer();
  // Writes the session's output and hands out its events until there are none; a handler that
  // publishes or acknowledges meanwhile only adds to what the loop writes next.
  void Pump();
  void Connect();
  void Lost(const std::wstring& reason);
  void ArmTimer();

  RelayServer server_;
  std::wstring name_;
  RelaySession session_;
  MessageHandler onMessage_;
  std::map<uint64_t, PublishedHandler> onPublished_;
  std::unique_ptr<BrokerConnection> connection_;
  EventHandle timer_;
  ReconnectBackoff backoff_;
  std::optional<uint64_t> reconnectAtMs_;
  bool outageLogged_ = false;
  bool pumping_ = false;
  bool pumpDue_ = false;  // publishes wait for the timer's next turn
};

}  // namespace parvox
