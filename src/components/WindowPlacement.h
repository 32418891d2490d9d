// Where a top-level window goes: its frame around a client area given in twips, centred over
// another window or, without one, over the work area.
#pragma once

#include <windows.h>

#include "components/Twips.h"

namespace parvox {

inline RECT CentredFrame(int clientWidthTwips, int clientHeightTwips, DWORD style, DWORD exStyle,
                         int dpi, HWND over = nullptr) {
  RECT frame{0, 0, TwipsToPixels(clientWidthTwips, dpi), TwipsToPixels(clientHeightTwips, dpi)};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  int width = frame.right - frame.left, height = frame.bottom - frame.top;
  RECT area;
  if (over == nullptr || !GetWindowRect(over, &area))
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  int x = area.left + (area.right - area.left - width) / 2;
  int y = area.top + (area.bottom - area.top - height) / 2;
  return RECT{x, y, x + width, y + height};
}

}  // namespace parvox
