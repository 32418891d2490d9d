// The UDP socket pair (IPv4 and, where present, IPv6) behind the network path.
#include "network/UdpEndpoint.h"

#include <mswsock.h>

#include <array>
#include <cstring>

namespace parvox {
namespace {

// Windows reports an ICMP "port unreachable" for an earlier send as a failed receive; a
// recipient without Parvox must not make the socket look broken.
void IgnoreUnreachableReports(SOCKET socket) {
  BOOL report = FALSE;
  DWORD returned = 0;
  WSAIoctl(socket, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr,
           nullptr);
}

}  // namespace

NetworkEndpoint EndpointFromSockaddr(const sockaddr* address) {
  NetworkEndpoint endpoint;
  if (address->sa_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
    endpoint.address = Ipv4Address(ntohl(v4->sin_addr.s_addr));
    endpoint.port = ntohs(v4->sin_port);
  } else if (address->sa_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
    endpoint.address.family = IpAddress::Family::kV6;
    std::memcpy(endpoint.address.bytes.data(), &v6->sin6_addr, 16);
    endpoint.address.scopeId = v6->sin6_scope_id;
    endpoint.port = ntohs(v6->sin6_port);
  }
  return endpoint;
}

int SockaddrFromEndpoint(const NetworkEndpoint& endpoint, sockaddr_storage& address) {
  std::memset(&address, 0, sizeof address);
  if (endpoint.address.family == IpAddress::Family::kV4) {
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
    v4->sin_family = AF_INET;
    v4->sin_addr.s_addr = htonl(Ipv4Value(endpoint.address));
    v4->sin_port = htons(endpoint.port);
    return sizeof(sockaddr_in);
  }
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
  v6->sin6_family = AF_INET6;
  std::memcpy(&v6->sin6_addr, endpoint.address.bytes.data(), 16);
  v6->sin6_scope_id = endpoint.address.scopeId;
  v6->sin6_port = htons(endpoint.port);
  return sizeof(sockaddr_in6);
}

UdpEndpoint::~UdpEndpoint() { Close(); }

void UdpEndpoint::Close() {
  for (SOCKET* socket : {&v4_, &v6_}) {
    if (*socket != INVALID_SOCKET) closesocket(*socket);
    *socket = INVALID_SOCKET;
  }
  if (event_ != nullptr) WSACloseEvent(event_);
  event_ = nullptr;
  if (started_) WSACleanup();
  started_ = false;
  port_ = 0;
}

UdpEndpoint::OpenResult UdpEndpoint::Open(uint16_t port, int receiveBufferBytes) {
  Close();
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return OpenResult::kFailed;
  started_ = true;
  event_ = WSACreateEvent();
  v4_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (event_ == WSA_INVALID_EVENT || v4_ == INVALID_SOCKET) {
    event_ = event_ == WSA_INVALID_EVENT ? nullptr : event_;
    Close();
    return OpenResult::kFailed;
  }
  // No other program may take over the port while Parvox holds it.
  BOOL on = TRUE;
  setsockopt(v4_, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
  setsockopt(v4_, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on);
  sockaddr_storage address;
  int length = SockaddrFromEndpoint({Ipv4Address(INADDR_ANY), port}, address);
  if (bind(v4_, reinterpret_cast<sockaddr*>(&address), length) != 0) {
    bool taken = WSAGetLastError() == WSAEADDRINUSE || WSAGetLastError() == WSAEACCES;
    Close();
    return taken ? OpenResult::kPortTaken : OpenResult::kFailed;
  }
  length = sizeof address;
  getsockname(v4_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = EndpointFromSockaddr(reinterpret_cast<sockaddr*>(&address)).port;

  // IPv6 is a bonus: without it IPv6 recipients fail, everything else works.
  v6_ = socket(AF_INET6, SOCK_DGRAM, IPPROTO_UDP);
  if (v6_ != INVALID_SOCKET) {
    DWORD v6Only = 1;  // the IPv4 socket already has the port's IPv4 side
    setsockopt(v6_, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&v6Only),
               sizeof v6Only);
    setsockopt(v6_, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
    IpAddress any{IpAddress::Family::kV6, {}, 0};
    length = SockaddrFromEndpoint({any, port_}, address);
    if (bind(v6_, reinterpret_cast<sockaddr*>(&address), length) != 0) {
      closesocket(v6_);
      v6_ = INVALID_SOCKET;
    }
  }
  for (SOCKET socket : {v4_, v6_}) {
    if (socket == INVALID_SOCKET) continue;
    IgnoreUnreachableReports(socket);
    // A smaller buffer than asked for (the system's limit) still works, with less room.
    if (receiveBufferBytes > 0) {
      setsockopt(socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBufferBytes),
                 sizeof receiveBufferBytes);
    }
    // Also makes the socket non-blocking.
    if (WSAEventSelect(socket, event_, FD_READ) != 0) {
      Close();
      return OpenResult::kFailed;
    }
  }
  return OpenResult::kOpen;
}

int UdpEndpoint::SendTo(const NetworkEndpoint& destination, std::string_view bytes) {
  SOCKET socket = destination.address.family == IpAddress::Family::kV4 ? v4_ : v6_;
  if (socket == INVALID_SOCKET) return IsOpen() ? WSAEAFNOSUPPORT : WSANOTINITIALISED;
  sockaddr_storage address;
  int length = SockaddrFromEndpoint(destination, address);
  int sent = sendto(socket, bytes.data(), static_cast<int>(bytes.size()), 0,
                    reinterpret_cast<sockaddr*>(&address), length);
  return sent == SOCKET_ERROR ? WSAGetLastError() : 0;
}

std::optional<ReceivedDatagram> UdpEndpoint::Receive() {
  if (event_ == nullptr) return std::nullopt;
  // Reset before reading: whatever arrives after the last empty read signals the event again.
  WSAResetEvent(event_);
  // The socket read first takes turns, so steady traffic on one cannot starve the other.
  v6First_ = !v6First_;
  for (SOCKET socket : v6First_ ? std::array{v6_, v4_} : std::array{v4_, v6_}) {
    if (socket == INVALID_SOCKET) continue;
    if (std::optional<ReceivedDatagram> datagram = ReceiveFrom(socket)) return datagram;
  }
  return std::nullopt;
}

std::optional<ReceivedDatagram> UdpEndpoint::ReceiveFrom(SOCKET socket) {
  buffer_.resize(65536);  // the largest UDP datagram fits
  for (;;) {
    sockaddr_storage source;
    int sourceLength = sizeof source;
    int received = recvfrom(socket, buffer_.data(), static_cast<int>(buffer_.size()), 0,
                            reinterpret_cast<sockaddr*>(&source), &sourceLength);
    if (received != SOCKET_ERROR) {
      return ReceivedDatagram{EndpointFromSockaddr(reinterpret_cast<sockaddr*>(&source)),
                              buffer_.substr(0, static_cast<size_t>(received))};
    }
    int error = WSAGetLastError();
    if (error != WSAEMSGSIZE && error != WSAECONNRESET) return std::nullopt;
  }
}

}  // namespace parvox
