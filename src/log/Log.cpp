// Keeps the single log window and loads it on first use, including after the user closed it
// from its title bar.
#include "log/Log.h"

#include <memory>

#include "log/LogWindow.h"

namespace parvox {
namespace {

std::unique_ptr<LogWindow>& Instance() {
  static std::unique_ptr<LogWindow> instance;
  return instance;
}

std::function<void(const std::wstring&)>& Sink() {
  static std::function<void(const std::wstring&)> sink;
  return sink;
}

// A window closed from its title bar leaves its object behind with no handle: that counts as
// not loaded, and the object is replaced on the next use.
bool Loaded() { return Instance() != nullptr && Instance()->Handle() != nullptr; }

LogWindow* LoadedWindow() {
  if (!Loaded()) {
    auto window = std::make_unique<LogWindow>();
    if (!window->Create()) return nullptr;
    Instance() = std::move(window);
  }
  return Instance().get();
}

}  // namespace

void LoadLogWindow() { LoadedWindow(); }

void UnloadLogWindow() { Instance().reset(); }

void RedirectLog(std::function<void(const std::wstring& text)> sink) { Sink() = std::move(sink); }

void AppendLog(bool show, const std::wstring& text) {
  if (Sink()) {
    Sink()(text);
    return;
  }
  LogWindow* window = LoadedWindow();
  if (window == nullptr) return;  // logging never stops the caller
  window->Append(text);
  if (show) window->Show();
}

void ShowLogWindow() {
  if (LogWindow* window = LoadedWindow()) window->Show();
}

std::wstring LogText() { return Loaded() ? Instance()->Text() : std::wstring(); }

HWND LogWindowHandle() { return Loaded() ? Instance()->Handle() : nullptr; }

}  // namespace parvox
