// Resolves recipients' host names on worker threads, so that the window never waits for the
// system resolver (DNS, LLMNR, NetBIOS: whatever it asks).
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "network/NetworkAddress.h"

namespace parvox {

class HostLookup {
 public:
  struct Result {
    size_t ticket;                     // as given to Start
    std::optional<IpAddress> address;  // IPv4 first; nothing when the name did not resolve
  };

  HostLookup();
  // Abandons unfinished lookups without waiting for them.
  ~HostLookup();
  HostLookup(const HostLookup&) = delete;
  HostLookup& operator=(const HostLookup&) = delete;

  void Start(size_t ticket, std::wstring name);
  // Signalled while finished lookups wait to be taken; TakeResults resets it.
  HANDLE Event() const;
  std::vector<Result> TakeResults();

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};

}  // namespace parvox
