// Ids from the system's generator, fetched a batch at a time: one call per recipient would cost
// more than the recipient's whole send.
#include "network/MessageIds.h"

#include <windows.h>
// bcrypt.h needs the base types first.
#include <bcrypt.h>

#include <array>
#include <cstring>

namespace parvox {

uint64_t NewMessageId() {
  thread_local std::array<uint64_t, 64> batch{};
  thread_local size_t next = batch.size();
  for (;;) {
    if (next == batch.size()) {
      if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(batch.data()),
                                          static_cast<ULONG>(sizeof batch),
                                          BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
        return 0;  // never a guessable id instead
      }
      next = 0;
    }
    uint64_t id = batch[next];
    batch[next++] = 0;  // a used id is not left lying around
    if (id != 0) return id;
  }
}

}  // namespace parvox
