// Draws one sunken panel with the information icon and the status text.
#include "app/StatusHost.h"

#include <vector>

namespace parvox {

HWND StatusHost::Create(HWND parent, int x, int y, int width, int height, HFONT font, HICON icon) {
  font_ = font;
  icon_ = icon;
  RegisterWindowClass(L"ParvoxStatusHost", nullptr, GetSysColorBrush(COLOR_BTNFACE));
  return CreateWindowFor(L"ParvoxStatusHost", L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, x,
                         y, width, height, parent);
}

void StatusHost::SetText(const std::wstring& text) {
  SetWindowTextW(Handle(), text.c_str());
  InvalidateRect(Handle(), nullptr, TRUE);
}

std::wstring StatusHost::Text() const {
  int length = GetWindowTextLengthW(Handle());
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
  GetWindowTextW(Handle(), buffer.data(), length + 1);
  return std::wstring(buffer.data());
}

void StatusHost::Paint(HDC dc) {
  RECT client;
  GetClientRect(Handle(), &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  RECT panel = client;
  InflateRect(&panel, -2, -2);
  DrawEdge(dc, &panel, BDR_SUNKENOUTER, BF_RECT);
  int iconTop = panel.top + (panel.bottom - panel.top - 16) / 2;
  DrawIconEx(dc, panel.left + 3, iconTop, icon_, 16, 16, 0, nullptr, DI_NORMAL);
  RECT textRect = panel;
  textRect.left += 23;
  textRect.right -= 3;
  HGDIOBJ oldFont = SelectObject(dc, font_);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  std::wstring text = Text();
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
            DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
  SelectObject(dc, oldFont);
}

LRESULT StatusHost::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Handle(), &paint);
    Paint(dc);
    EndPaint(Handle(), &paint);
    return 0;
  }
  if (message == WM_SIZE) InvalidateRect(Handle(), nullptr, TRUE);
  return Window::HandleMessage(message, wParam, lParam);
}

}  // namespace parvox
