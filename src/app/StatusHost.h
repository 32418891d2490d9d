// The borderless box along the bottom of the main window that shows the status line. Its
// window text is always the status text, so screen readers and automation can read it.
#pragma once

#include <string>

#include "components/Window.h"

namespace parvox {

class StatusHost : public Window {
 public:
  HWND Create(HWND parent, int x, int y, int width, int height, HFONT font, HICON icon);
  void SetText(const std::wstring& text);
  std::wstring Text() const;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Paint(HDC dc);
  HFONT font_ = nullptr;
  HICON icon_ = nullptr;
};

}  // namespace parvox
