// Base for the program's windows: one window procedure for all of them, which finds the
// object behind the handle and keeps exceptions from crossing into the platform.
#pragma once

#include <windows.h>

#include <string>

namespace parvox {

// A window's whole text.
std::wstring WindowText(HWND window);

class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window();

  HWND Handle() const { return hwnd_; }
  // The object behind one of the program's windows; nullptr for any other window.
  static Window* FromHandle(HWND hwnd);

 protected:
  // Registers `className` once per process with the shared procedure.
  static void RegisterWindowClass(const wchar_t* className, HICON icon, HBRUSH background);
  HWND CreateWindowFor(const wchar_t* className, const wchar_t* caption, DWORD style, DWORD exStyle,
                       int x, int y, int width, int height, HWND parent);
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Called after WM_NCDESTROY: the handle is gone.
  virtual void OnDestroyed() {}

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  HWND hwnd_ = nullptr;
};

}  // namespace parvox
