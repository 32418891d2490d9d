// What the network receiver lets through: messages addressed to this computer, each one once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string_view>
#include <unordered_set>

#include "identity/LocalIdentity.h"
#include "network/NetworkAddress.h"

namespace parvox {

// To equals, ignoring letter case, the computer's name, the user's name, an alias or "*"; or,
// from this computer only, ".", "localhost" or a loopback address.
bool IsAddressedToThisComputer(std::wstring_view to, const LocalIdentity& identity,
                               bool fromThisComputer);

// Remembers the most recent messages, a fixed number of them, by id and a key of their content:
// a stranger who sends an id first cannot make the real message with that id pass for a repeat.
class MessageIdMemory {
 public:
  explicit MessageIdMemory(size_t capacity = 4096) : capacity_(capacity) {}
  // True the first time a message is seen, false while it is still remembered.
  bool Remember(uint64_t id, uint64_t contentKey);

 private:
  struct Seen {
    uint64_t id, contentKey;
    bool operator==(const Seen&) const = default;
  };
  struct SeenHash {
    size_t operator()(const Seen& seen) const {
      return std::hash<uint64_t>()(seen.id ^ (seen.contentKey * 0x9E3779B97F4A7C15ull));
    }
  };
  size_t capacity_;
  std::deque<Seen> order_;
  std::unordered_set<Seen, SeenHash> known_;
};

}  // namespace parvox
