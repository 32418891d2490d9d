// How long the relay waits before connecting to the broker again: doubling waits with jitter, so
// that many computers losing one broker do not all come back in the same second.
#pragma once

#include <cstdint>
#include <optional>

namespace parvox {

class ReconnectBackoff {
 public:
  static constexpr uint64_t kFirstWaitMs = 1'000;
  static constexpr uint64_t kLongestWaitMs = 5 * 60 * 1'000;
  // Only a connection that lasted this long starts the waits again from the first: a broker that
  // accepts and drops at once (another client taking over the session) must not be hammered.
  static constexpr uint64_t kStableMs = 60 * 1'000;

  // The wait before the next attempt, between half and all of the current step; `random` is any
  // value from the caller's generator. Each call doubles the step, up to kLongestWaitMs.
  uint64_t NextWaitMs(uint64_t random);
  // The session came up, or the connection ended.
  void Up(uint64_t nowMs);
  void Down(uint64_t nowMs);

 private:
  uint64_t stepMs_ = kFirstWaitMs;
  std::optional<uint64_t> upSinceMs_;
};

}  // namespace parvox
