// How the windows of received messages come up: in front, cascaded, flashing, and without
// taking the keyboard from whatever the user is typing in.
#pragma once

#include <windows.h>

namespace parvox {

inline void ShowWithoutFocus(HWND window, int cascade) {
  RECT frame{};
  GetWindowRect(window, &frame);
  int step = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFIXEDFRAME);
  // Placed, put in front and shown in one go: each step costs Wine a trip to the display.
  SetWindowPos(window, HWND_TOPMOST, frame.left + cascade * step, frame.top + cascade * step, 0, 0,
               SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  FLASHWINFO flash{sizeof flash, window, FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
  FlashWindowEx(&flash);
}

}  // namespace parvox
