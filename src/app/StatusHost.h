// The borderless box along the bottom of the main window that shows the status line; a
// StatusBar paints it. Its window text is always the status text, so screen readers and
// automation can read it.
#pragma once

#include <memory>
#include <string>

#include "components/Window.h"
#include "components/StatusBar.h"

namespace parvox {

class StatusHost : public Window {
 public:
  // Creates the box and its bar: one spring panel showing "Loading.." with the first image of
  // `images`, and no size grip. The caller keeps owning `font` and `images`.
  HWND Create(HWND parent, int x, int y, int width, int height, HFONT font, HIMAGELIST images);
  void SetText(const std::wstring& text);
  std::wstring Text() const;
  const StatusBar& Bar() const { return bar_; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  std::unique_ptr<WindowSurface> surface_;
  StatusBar bar_;
  std::wstring text_;
  ULONGLONG lastDrawn_ = 0;  // GetTickCount64
};

}  // namespace parvox
