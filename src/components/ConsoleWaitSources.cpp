// Wait sources for a console program, which has no window: RunWaitSources waits on the handles
// themselves, so no part of the windowing system is loaded. Its callers wait on a handful.
#include <vector>

#include "components/WaitSources.h"

namespace parvox {
namespace {

struct WaitSource {
  HANDLE handle = nullptr;
  std::function<void()> onSignalled;
};

std::vector<WaitSource>& Sources() {
  static std::vector<WaitSource> sources;
  return sources;
}

// Runs the handlers of the sources signalled within `timeoutMs`; true when one ran.
bool RunSignalled(DWORD timeoutMs) {
  std::vector<HANDLE> handles;
  for (const WaitSource& source : Sources()) handles.push_back(source.handle);
  if (handles.empty() || handles.size() > MAXIMUM_WAIT_OBJECTS) {
    if (timeoutMs != 0) Sleep(timeoutMs);
    return false;
  }
  DWORD first =
      WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, timeoutMs);
  if (first >= WAIT_OBJECT_0 + handles.size()) return false;
  // Each handle signalled by now runs once, in order, as the window's sources would.
  for (size_t at = first - WAIT_OBJECT_0; at < handles.size(); ++at) {
    if (at != first - WAIT_OBJECT_0 && WaitForSingleObject(handles[at], 0) != WAIT_OBJECT_0) {
      continue;
    }
    for (const WaitSource& source : Sources()) {
      if (source.handle != handles[at]) continue;
      // A copy: the handler may add or remove sources, its own included.
      std::function<void()> handler = source.onSignalled;
      RunSourceHandler(handler);
      break;
    }
  }
  return true;
}

}  // namespace

bool AddWaitSource(HANDLE handle, std::function<void()> onSignalled) {
  if (handle == nullptr) return false;
  Sources().push_back({handle, std::move(onSignalled)});
  return true;
}

void RemoveWaitSource(HANDLE handle) {
  std::erase_if(Sources(), [handle](const WaitSource& source) { return source.handle == handle; });
}

bool ServiceWaitSources() { return RunSignalled(0); }

void RunWaitSources(DWORD timeoutMs) { RunSignalled(timeoutMs); }

}  // namespace parvox
