// The status line's window: it hosts the bar and has it repaint on every paint and resize.
#include "app/StatusHost.h"

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
  SetWindowTextW(Handle(), text.c_str());
  if (bar_.PanelCount() > 0) bar_.PanelText(1, text);
}

std::wstring StatusHost::Text() const { return WindowText(Handle()); }

LRESULT StatusHost::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(Handle(), &paint);
      bar_.Draw();
      EndPaint(Handle(), &paint);
      return 0;
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
