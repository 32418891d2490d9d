// Handles the window thread waits for besides window messages (a receiver's queue of arrived
// datagrams, for example), each with what to do when it is signalled. The system's wait thread
// watches them and posts one message per signal, so every message loop (the main one, a modal
// dialog's, a message box's) runs the handlers, and nothing polls while all is quiet.
#pragma once

#include <windows.h>

#include <functional>

namespace parvox {

// `onSignalled` runs on the window thread (the one that adds the first source) after `handle`
// is signalled; it must reset or re-arm what signalled it, or it runs again.
bool AddWaitSource(HANDLE handle, std::function<void()> onSignalled);
// After this returns, the handler of `handle` never runs again.
void RemoveWaitSource(HANDLE handle);
// Runs the handlers of the sources already signalled, without waiting, so that a long task on
// the window thread can keep receiving; true when one ran.
bool ServiceWaitSources();
// For a run without a message loop of its own (a script's send): waits up to `timeoutMs` for a
// source to be signalled and runs the handlers of those that are.
void RunWaitSources(DWORD timeoutMs);

// How often a long walk on the thread (over recipients, say) runs the sources: often enough that
// arriving receipts never fill a socket's buffer meanwhile.
inline constexpr ULONGLONG kKeepAnsweringEveryMs = 20;

// For the implementations: runs a source's handler, which must not unwind through the loop that
// runs it (a message loop or a script's wait), whatever it throws.
inline void RunSourceHandler(const std::function<void()>& handler) noexcept {
  try {
    handler();
  } catch (...) {
  }
}

}  // namespace parvox
