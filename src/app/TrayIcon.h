// The notification-area icon: registration, removal and the decoding of its mouse events.
#pragma once

#include <windows.h>

#include <string>

namespace parvox {

// The shell reports mouse events on the icon to the main window with this message.
inline constexpr UINT kTrayCallbackMessage = WM_APP + 1;
inline constexpr UINT kTrayIconId = 1;

// The icon and whether the shell has it registered.
struct TrayImage {
  HICON icon = nullptr;
  bool registered = false;
};

enum class TrayAction { kNone, kToggleWindow, kOpenMenu };

void AddTrayIcon(HWND window, TrayImage& image, const std::wstring& tip);
void RemoveTrayIcon(HWND window, TrayImage& image);
// 515 (left double-click) toggles, 517 (right button released) opens the menu.
TrayAction DecodeTrayEvent(LPARAM lParam);

}  // namespace parvox
