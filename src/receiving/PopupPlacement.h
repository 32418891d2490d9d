// How the windows of received messages come up: in front, cascaded, flashing, and without
// taking the keyboard from whatever the user is typing in.
#pragma once

#include <windows.h>

namespace parvox {

inline void ShowWithoutFocus(HWND window, int cascade) {
  RECT frame{};
  GetWindowRect(window, &frame);
  int step = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFIXEDFRAME);
  SetWindowPos(window, HWND_TOPMOST, frame.left + cascade * step, frame.top + cascade * step, 0, 0,
               SWP_NOSIZE | SWP_NOACTIVATE);
  ShowWindow(window, SW_SHOWNOACTIVATE);
  FLASHWINFO flash{sizeof flash, window, FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
  FlashWindowEx(&flash);
}

}  // namespace parvox
