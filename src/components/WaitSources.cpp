// Wait sources through the system's thread-pool waits and one message-only window.
#include "components/WaitSources.h"

#include <cstdint>
#include <map>

namespace parvox {
namespace {

constexpr UINT kSignalled = WM_APP + 10;
constexpr wchar_t kNotifyClass[] = L"ParvoxWaitSources";

struct WaitSource {
  HANDLE handle = nullptr;
  std::function<void()> onSignalled;
  HANDLE wait = nullptr;  // the pending thread-pool wait, once armed
};

// By id rather than handle: a message posted for a source removed since is simply not found.
std::map<std::uintptr_t, WaitSource>& Sources() {
  static std::map<std::uintptr_t, WaitSource> sources;
  return sources;
}

HWND& NotifyWindow() {
  static HWND window = nullptr;
  return window;
}

void CALLBACK OnPoolSignal(void* id, BOOLEAN) {
  PostMessageW(NotifyWindow(), kSignalled, reinterpret_cast<WPARAM>(id), 0);
}

bool Arm(std::uintptr_t id, WaitSource& source) {
  // The callback only posts, so it runs on the wait thread itself: one thread handoff fewer
  // between a signal and its handler.
  return RegisterWaitForSingleObject(&source.wait, source.handle, OnPoolSignal,
                                     reinterpret_cast<void*>(id), INFINITE,
                                     WT_EXECUTEONLYONCE | WT_EXECUTEINWAITTHREAD) != FALSE;
}

void Disarm(WaitSource& source, HANDLE completion) {
  if (source.wait != nullptr) UnregisterWaitEx(source.wait, completion);
  source.wait = nullptr;
}

bool& Servicing() {
  static bool servicing = false;
  return servicing;
}

void RunSource(std::uintptr_t id) {
  auto found = Sources().find(id);
  if (found == Sources().end()) return;
  // The one-shot wait has fired; release it without waiting (this is not its callback).
  Disarm(found->second, nullptr);
  // A copy: the handler may add or remove sources, its own included.
  std::function<void()> handler = found->second.onSignalled;
  RunSourceHandler(handler);
  found = Sources().find(id);
  if (found != Sources().end() && found->second.wait == nullptr) Arm(id, found->second);
}

LRESULT CALLBACK NotifyProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto id = static_cast<std::uintptr_t>(wParam);
  if (message == WM_TIMER) {
    KillTimer(window, id);
    RunSource(id);
    return 0;
  }
  if (message != kSignalled) return DefWindowProcW(window, message, wParam, lParam);
  // Posted messages go before input and painting: under a flood a source that is signalled
  // again at once would keep the keyboard, the mouse and the screen waiting. While they wait,
  // the source runs as a timer, which comes after them.
  if (!Servicing() && HIWORD(GetQueueStatus(QS_INPUT | QS_PAINT)) != 0 &&
      SetTimer(window, id, USER_TIMER_MINIMUM, nullptr) != 0) {
    return 0;
  }
  RunSource(id);
  return 0;
}

bool CreateNotifyWindow() {
  if (NotifyWindow() != nullptr) return true;
  WNDCLASSEXW windowClass{sizeof windowClass};
  windowClass.lpfnWndProc = NotifyProcedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kNotifyClass;
  RegisterClassExW(&windowClass);
  NotifyWindow() = CreateWindowExW(0, kNotifyClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
  return NotifyWindow() != nullptr;
}

}  // namespace

bool AddWaitSource(HANDLE handle, std::function<void()> onSignalled) {
  static std::uintptr_t lastId = 0;
  if (handle == nullptr || !CreateNotifyWindow()) return false;
  std::uintptr_t id = ++lastId;
  WaitSource& source = Sources()[id];
  source.handle = handle;
  source.onSignalled = std::move(onSignalled);
  if (Arm(id, source)) return true;
  Sources().erase(id);
  return false;
}

void RemoveWaitSource(HANDLE handle) {
  for (auto it = Sources().begin(); it != Sources().end();) {
    if (it->second.handle == handle) {
      // Waits for a callback that is running, so none can post after this returns.
      Disarm(it->second, INVALID_HANDLE_VALUE);
      it = Sources().erase(it);
    } else {
      ++it;
    }
  }
}

bool ServiceWaitSources() {
  if (NotifyWindow() == nullptr) return false;
  // Asked for by name: the handlers run now, whatever input waits, and so do those put off whose
  // timer is due.
  bool ran = false;
  Servicing() = true;
  MSG message;
  for (UINT kind : {kSignalled, static_cast<UINT>(WM_TIMER)}) {
    while (PeekMessageW(&message, NotifyWindow(), kind, kind, PM_REMOVE)) {
      DispatchMessageW(&message);
      ran = true;
    }
  }
  Servicing() = false;
  return ran;
}

void RunWaitSources(DWORD timeoutMs) {
  MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs, QS_ALLINPUT);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

}  // namespace parvox
