// Message ids: every Parvox on the subnet sees them, so they come from the system's secure
// generator and no one can tell the next from the last.
#pragma once

#include <cstdint>

namespace parvox {

// A random id, never 0; 0 when the system's generator failed.
uint64_t NewMessageId();

}  // namespace parvox
