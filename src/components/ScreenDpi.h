// The screen's logical resolution, which turns twips into pixels (1440 twips per inch).
#pragma once

#include <windows.h>

namespace parvox {

inline int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

}  // namespace parvox
