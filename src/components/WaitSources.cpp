// One list of wait sources for the window thread.
#include "components/WaitSources.h"

#include <algorithm>
#include <vector>

namespace parvox {
namespace {

struct WaitSource {
  HANDLE handle;
  std::function<void()> onSignalled;
};

std::vector<WaitSource>& Sources() {
  static std::vector<WaitSource> sources;
  return sources;
}

std::vector<HANDLE> Handles() {
  std::vector<HANDLE> handles;
  for (const WaitSource& source : Sources()) handles.push_back(source.handle);
  return handles;
}

}  // namespace

bool AddWaitSource(HANDLE handle, std::function<void()> onSignalled) {
  if (handle == nullptr || Sources().size() >= MAXIMUM_WAIT_OBJECTS - 1) return false;
  Sources().push_back({handle, std::move(onSignalled)});
  return true;
}

void RemoveWaitSource(HANDLE handle) {
  auto& sources = Sources();
  sources.erase(std::remove_if(sources.begin(), sources.end(),
                               [&](const WaitSource& source) { return source.handle == handle; }),
                sources.end());
}

bool ServiceWaitSources() {
  std::vector<HANDLE> handles = Handles();
  if (handles.empty()) return false;
  DWORD result =
      WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, 0);
  if (result >= WAIT_OBJECT_0 + handles.size()) return false;
  // A copy: the handler may add or remove sources, its own included.
  std::function<void()> handler = Sources()[result - WAIT_OBJECT_0].onSignalled;
  handler();
  return true;
}

bool NextMessage(MSG& message) {
  for (;;) {
    ServiceWaitSources();
    if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return message.message != WM_QUIT;
    std::vector<HANDLE> handles = Handles();
    MsgWaitForMultipleObjectsEx(static_cast<DWORD>(handles.size()), handles.data(), INFINITE,
                                QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

}  // namespace parvox
