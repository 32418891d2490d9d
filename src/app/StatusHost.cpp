// The status line's window: it hosts the bar and has it repaint on every paint and resize.
#include "app/StatusHost.h"

#include <algorithm>

namespace parvox {

HWND StatusHost::Create(HWND parent, int x, int y, int width, int height, HFONT font,
                        HIMAGELIST images) {
  RegisterWindowClass(L"ParvoxStatusHost", nullptr, GetSysColorBrush(COLOR_BTNFACE));
  HWND window = CreateWindowFor(L"ParvoxStatusHost", L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                                0, x, y, width, height, parent);
  if (window == nullptr) return nullptr;
  surface_ = std::make_unique<WindowSurface>(window, font);
  bar_.Create(*surface_);
  bar_.ImageList(images);
  bar_.AddPanel(0, L"Loading..", 0, 64, true, false, 0, L"");
  bar_.SizeGrip(false);
  return window;
}

void StatusHost::SetText(const std::wstring& text) {
  text_ = text;
  if (bar_.PanelCount() == 0) return;
  // A send to a thousand recipients sets a text for each: drawn at most once a frame, which is
  // all an eye sees, and otherwise when the window next paints. Drawing each cost more than
  // sending to the recipient.
  constexpr ULONGLONG kFrameMs = 16;
  ULONGLONG now = GetTickCount64();
  bool drawNow = now - lastDrawn_ >= kFrameMs;
  bar_.PanelText(1, text, drawNow);
  if (drawNow) {
    lastDrawn_ = now;
  } else {
    InvalidateRect(Handle(), nullptr, FALSE);
  }
}

std::wstring StatusHost::Text() const { return text_; }

LRESULT StatusHost::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(Handle(), &paint);
      bar_.Draw();
      lastDrawn_ = GetTickCount64();
      EndPaint(Handle(), &paint);
      return 0;
    }
    // The window text is the status text, read from here rather than stored in the window
    // for each of a long send's recipients.
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(text_.size());
    case WM_GETTEXT: {
      if (wParam == 0) return 0;
      size_t count = std::min<size_t>(text_.size(), wParam - 1);
      auto* buffer = reinterpret_cast<wchar_t*>(lParam);
      std::copy_n(text_.data(), count, buffer);
      buffer[count] = L'\0';
      return static_cast<LRESULT>(count);
    }
    case WM_SIZE:
      // Only the uncovered strip would be repainted, but the spring panel moves the rest.
      bar_.Draw();
      return 0;
    case WM_DESTROY:
      // The window's device context must go back while the window still exists.
      if (surface_ != nullptr) surface_->Release();
      break;
  }
  return Window::HandleMessage(message, wParam, lParam);
}

}  // namespace parvox
