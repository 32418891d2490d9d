// One UDP port for the network path: sends to any address and hands over what arrives, without
// blocking; the wait sources (components/WaitSources.h) wait on Event() for the message loop.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <optional>
#include <string>
#include <string_view>

#include "network/NetworkAddress.h"

namespace parvox {

struct ReceivedDatagram {
  NetworkEndpoint source;
  std::string bytes;
};

// Room for the answers to a send while its walk goes on: a thousand recipients' receipts, or a
// busy subnet's answers to a broadcast, at a few hundred bytes each.
inline constexpr int kAnswersBufferBytes = 1 << 20;

class UdpEndpoint {
 public:
  enum class OpenResult { kOpen, kPortTaken, kFailed };

  UdpEndpoint() = default;
  ~UdpEndpoint();
  UdpEndpoint(const UdpEndpoint&) = delete;
  UdpEndpoint& operator=(const UdpEndpoint&) = delete;

  // Binds the port on every IPv4 address (and IPv6 where the system has it) with broadcasts
  // allowed; port 0 takes any free port. `receiveBufferBytes` 0 keeps the system's buffer size,
  // which holds a few hundred datagrams: a socket that sends to many takes kAnswersBufferBytes.
  OpenResult Open(uint16_t port, int receiveBufferBytes = 0);
  bool IsOpen() const { return v4_ != INVALID_SOCKET; }
  uint16_t Port() const { return port_; }
  // Signalled while a datagram waits; Receive resets it.
  HANDLE Event() const { return event_; }

  // 0, or the Winsock error code.
  int SendTo(const NetworkEndpoint& destination, std::string_view bytes);
  // The next waiting datagram; call until it returns nothing, then wait on Event() again.
  // Datagrams cut short by the receive buffer are skipped.
  std::optional<ReceivedDatagram> Receive();

 private:
  void Close();
  std::optional<ReceivedDatagram> ReceiveFrom(SOCKET socket);

  bool started_ = false;
  SOCKET v4_ = INVALID_SOCKET;
  SOCKET v6_ = INVALID_SOCKET;
  HANDLE event_ = nullptr;
  uint16_t port_ = 0;
  bool v6First_ = false;
  std::string buffer_;
};

// Socket address conversions, also used by the host lookup.
NetworkEndpoint EndpointFromSockaddr(const sockaddr* address);
int SockaddrFromEndpoint(const NetworkEndpoint& endpoint, sockaddr_storage& address);

}  // namespace parvox
