// One connection to the relay's MQTT broker: a TCP stream, through TLS (SChannel) when asked,
// driven from the window thread by one event and never blocking it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace parvox {

class BrokerConnection {
 public:
  enum class State { kConnecting, kOpen, kClosed };

  // Name lookup, connection and TLS handshake together get this long.
  static constexpr uint64_t kOpenTimeoutMs = 10'000;
  // Write refuses what would leave more than this unsent.
  static constexpr size_t kMaxUnsentBytes = 1024 * 1024;
  // Reading from the socket pauses while this much waits untaken, so a flooding broker is held
  // back by TCP instead of filling memory.
  static constexpr size_t kMaxUntakenBytes = 256 * 1024;

  // Starts at once: the name is looked up on a worker thread, then each of its addresses is
  // tried in turn. With `tls`, the broker's certificate must be trusted by this computer's
  // certificate store and be for `host`.
  BrokerConnection(std::wstring host, uint16_t port, bool tls);
  // Closes (with a TLS close_notify when it can go out at once) without waiting for anything.
  // Remove Event() from the wait sources first.
  ~BrokerConnection();
  BrokerConnection(const BrokerConnection&) = delete;
  BrokerConnection& operator=(const BrokerConnection&) = delete;

  // Register with AddWaitSource: signalled whenever Service has something to do, the open
  // timeout included, so no other timer is needed.
  HANDLE Event() const;
  // Call when Event() is signalled, with GetTickCount64(): advances the connection, sends what
  // Write queued and reads what arrived.
  void Service(uint64_t nowMs);

  State GetState() const;
  // Why the connection closed, in a sentence the log can show ("the broker refused the
  // connection"); empty until then.
  const std::wstring& FailureReason() const;

  // Queues bytes for the broker, sent once the connection is open; false when closed or when
  // more than kMaxUnsentBytes would wait.
  bool Write(std::string_view bytes);
  // What the broker sent since the last call, also after the connection closed.
  std::string TakeReceived();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace parvox
