// Doubling reconnection waits with jitter, started again after a connection that lasted.
#include "relay/ReconnectBackoff.h"

#include <algorithm>

namespace parvox {

uint64_t ReconnectBackoff::NextWaitMs(uint64_t random) {
  uint64_t half = stepMs_ / 2;
  uint64_t wait = half + random % (stepMs_ - half + 1);
  stepMs_ = std::min(stepMs_ * 2, kLongestWaitMs);
  return wait;
}

void ReconnectBackoff::Up(uint64_t nowMs) {
  if (!upSinceMs_) upSinceMs_ = nowMs;
}

void ReconnectBackoff::Down(uint64_t nowMs) {
  if (upSinceMs_ && nowMs >= *upSinceMs_ && nowMs - *upSinceMs_ >= kStableMs) {
    stepMs_ = kFirstWaitMs;
  }
  upSinceMs_.reset();
}

}  // namespace parvox
