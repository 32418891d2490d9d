// The shared window procedure.
#include "components/Window.h"

namespace parvox {

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

Window::~Window() {
  if (hwnd_ != nullptr) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

void Window::RegisterWindowClass(const wchar_t* className, HICON icon, HBRUSH background) {
  WNDCLASSEXW existing{sizeof existing};
  if (GetClassInfoExW(GetModuleHandleW(nullptr), className, &existing)) return;
  WNDCLASSEXW windowClass{sizeof windowClass};
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = Procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hIcon = icon;
  windowClass.hIconSm = icon;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = background;
  windowClass.lpszClassName = className;
  RegisterClassExW(&windowClass);
}

HWND Window::CreateWindowFor(const wchar_t* className, const wchar_t* caption, DWORD style,
                             DWORD exStyle, int x, int y, int width, int height, HWND parent) {
  return CreateWindowExW(exStyle, className, caption, style, x, y, width, height, parent, nullptr,
                         GetModuleHandleW(nullptr), this);
}

Window* Window::FromHandle(HWND hwnd) {
  if (hwnd == nullptr ||
      reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC)) != Procedure) {
    return nullptr;
  }
  return reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NEXTDLGCTL) {
    // The message loop runs our windows as dialogs, but they are not dialog boxes: a multi-line
    // text box asks its parent for this focus move on Tab, and nobody else would make it.
    HWND next = LOWORD(lParam) != 0 ? reinterpret_cast<HWND>(wParam)
                                    : GetNextDlgTabItem(hwnd_, GetFocus(), wParam != 0);
    if (next != nullptr) SetFocus(next);
    return 0;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Window::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* created = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* self = static_cast<Window*>(created->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    LRESULT result = DefWindowProcW(hwnd, message, wParam, lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->OnDestroyed();
    return result;
  }
  try {
    return self->HandleMessage(message, wParam, lParam);
  } catch (...) {
    // A failing handler must not unwind through the platform's code.
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace parvox
