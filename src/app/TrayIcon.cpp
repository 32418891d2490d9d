// Notification-area icon through the ANSI first-version structure, as old shells accept it.
#include "app/TrayIcon.h"

#include <shellapi.h>

#include <cstring>

#include "components/AnsiText.h"

namespace parvox {
namespace {

NOTIFYICONDATAA BaseRecord(HWND window) {
  NOTIFYICONDATAA record{};
  record.cbSize = NOTIFYICONDATAA_V1_SIZE;
  record.hWnd = window;
  record.uID = kTrayIconId;
  return record;
}

}  // namespace

void AddTrayIcon(HWND window, TrayImage& image, const std::wstring& tip) {
  NOTIFYICONDATAA record = BaseRecord(window);
  record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  record.uCallbackMessage = kTrayCallbackMessage;
  record.hIcon = image.icon;
  std::string ansiTip = ToAnsi(tip);
  strncpy_s(record.szTip, sizeof record.szTip, ansiTip.c_str(), _TRUNCATE);
  Shell_NotifyIconA(NIM_ADD, &record);
  image.registered = true;
}

void RemoveTrayIcon(HWND window, TrayImage& image) {
  if (!image.registered) return;
  NOTIFYICONDATAA record = BaseRecord(window);
  Shell_NotifyIconA(NIM_DELETE, &record);
  image.registered = false;
}

TrayAction DecodeTrayEvent(LPARAM lParam) {
  switch (LOWORD(lParam)) {
    case WM_LBUTTONDBLCLK:  // 515
      return TrayAction::kToggleWindow;
    case WM_RBUTTONUP:  // 517
      return TrayAction::kOpenMenu;
    default:
      return TrayAction::kNone;
  }
}

}  // namespace parvox
