// The handles the message loops wait for besides window messages (a receiver's queue of
// arrived datagrams, for example), each with what to do when it is signalled. The main loop and
// every modal loop share one list, so what arrives is handled while a dialog is open too.
#pragma once

#include <windows.h>

#include <functional>

namespace parvox {

// `onSignalled` runs on the window thread whenever `handle` is found signalled; it must reset
// or re-arm what signalled it. At most MAXIMUM_WAIT_OBJECTS - 1 handles.
bool AddWaitSource(HANDLE handle, std::function<void()> onSignalled);
void RemoveWaitSource(HANDLE handle);
// Runs the handler of one signalled handle, if any, without waiting; true when one ran.
bool ServiceWaitSources();
// GetMessageW that also serves the wait sources while it waits; false on WM_QUIT. A signalled
// handle and a queued message take turns, so neither can starve the other.
bool NextMessage(MSG& message);

}  // namespace parvox
