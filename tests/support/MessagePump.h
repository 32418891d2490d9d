// Runs the messages waiting for this thread's windows, for the tests and the benchmarks, which
// drive windows without the program's own message loop.
#pragma once

#include <windows.h>

namespace parvox::test {

// A WM_QUIT is dropped: each main window posts one as it closes, and the thread goes on to
// start the next.
inline void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace parvox::test
