// The signed messages already taken, each by its id and the key that signed it, remembered for as
// long as it could still be accepted: a message the relay held for a day, sent again, is still
// known as a repeat, also after a restart (the records are what the receiver keeps on disk).
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>

namespace parvox {

class ReplayMemory {
 public:
  // At most `capacity` messages; when full, the one that would be forgotten soonest goes first.
  explicit ReplayMemory(size_t capacity) : capacity_(capacity) {}

  // True the first time the key's message `id` is seen; remembers it until `until` (seconds
  // since 1970; later times extend it). Anything whose time passed by `now` is forgotten.
  bool Remember(uint64_t id, uint64_t keyHash, uint64_t until, uint64_t now);
  size_t Size() const { return byMessage_.size(); }

  // One message as it is kept on disk: id, key hash and time, 8 bytes each, big-endian.
  static constexpr size_t kRecordBytes = 24;
  static std::string Record(uint64_t id, uint64_t keyHash, uint64_t until);
  // Takes the records of `bytes`; a damaged tail (a write cut short) is ignored.
  void Load(std::string_view bytes, uint64_t now);
  // Every message still remembered, as records.
  std::string Records() const;

 private:
  struct Message {
    uint64_t id, keyHash;
    bool operator==(const Message&) const = default;
  };
  struct MessageHash {
    size_t operator()(const Message& m) const { return m.id ^ (m.keyHash * 0x9E3779B97F4A7C15ull); }
  };
  struct Expiry {
    uint64_t until, id, keyHash;
    auto operator<=>(const Expiry&) const = default;
  };
  void Forget(uint64_t now);

  size_t capacity_;
  std::unordered_map<Message, uint64_t, MessageHash> byMessage_;  // to the time it is kept until
  std::set<Expiry> byExpiry_;
};

}  // namespace parvox
