// A few worker threads share a queue of names; the caller waits on an event, never on them.
#include "network/HostLookup.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include "components/UniqueHandle.h"
#include "network/UdpEndpoint.h"

namespace parvox {

namespace {
// Enough for a send to many slow names; each waits on the network, not the processor.
constexpr size_t kMaxWorkers = 8;
constexpr auto kLinger = std::chrono::milliseconds(500);
}  // namespace

struct HostLookup::Shared {
  std::mutex lock;
  std::condition_variable more;  // a name was queued
  std::deque<std::pair<size_t, std::wstring>> queue;
  std::vector<Result> results;
  size_t workers = 0;
  bool abandoned = false;
  EventHandle ready{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

namespace {

std::optional<IpAddress> Resolve(const std::wstring& name) {
  ADDRINFOW hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  ADDRINFOW* found = nullptr;
  if (GetAddrInfoW(name.c_str(), nullptr, &hints, &found) != 0) return std::nullopt;
  std::optional<IpAddress> v4, v6;
  for (ADDRINFOW* entry = found; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_addr == nullptr) continue;
    std::optional<IpAddress>& slot = entry->ai_family == AF_INET ? v4 : v6;
    if (!slot && (entry->ai_family == AF_INET || entry->ai_family == AF_INET6)) {
      slot = EndpointFromSockaddr(entry->ai_addr).address;
    }
  }
  FreeAddrInfoW(found);
  return v4 ? v4 : v6;
}

}  // namespace

HostLookup::HostLookup() : shared_(std::make_shared<Shared>()) {}

HostLookup::~HostLookup() {
  std::lock_guard<std::mutex> guard(shared_->lock);
  shared_->abandoned = true;
  shared_->queue.clear();
  shared_->more.notify_all();
}

HANDLE HostLookup::Event() const { return shared_->ready.Get(); }

void HostLookup::Start(size_t ticket, std::wstring name) {
  std::lock_guard<std::mutex> guard(shared_->lock);
  shared_->queue.emplace_back(ticket, std::move(name));
  shared_->more.notify_one();
  if (shared_->workers >= kMaxWorkers) return;
  ++shared_->workers;
  // The worker keeps the shared state alive, so it may outlive this object.
  std::thread([shared = shared_] {
    WSADATA data;
    bool started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    std::unique_lock<std::mutex> guard(shared->lock);
    // A worker stays a moment for the next name: a send to many names queues them one by one,
    // and a new thread for each would cost more than the lookups.
    while (shared->more.wait_for(guard, kLinger, [&] {
      return !shared->queue.empty() || shared->abandoned;
    }) && !shared->queue.empty()) {
      auto [ticket, name] = std::move(shared->queue.front());
      shared->queue.pop_front();
      guard.unlock();
      std::optional<IpAddress> address = started ? Resolve(name) : std::nullopt;
      guard.lock();
      if (shared->abandoned) continue;
      shared->results.push_back({ticket, address});
      SetEvent(shared->ready.Get());
    }
    --shared->workers;
    guard.unlock();
    if (started) WSACleanup();
  }).detach();
}

std::vector<HostLookup::Result> HostLookup::TakeResults() {
  std::lock_guard<std::mutex> guard(shared_->lock);
  ResetEvent(shared_->ready.Get());
  return std::exchange(shared_->results, {});
}

}  // namespace parvox
