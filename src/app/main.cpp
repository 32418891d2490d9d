// Entry point: start-up is the creation of the main window.
#include <windows.h>

#include <commctrl.h>
#include <ole2.h>

#include "app/modDeclarations.h"
#include "app/wMain.h"
#include "log/modLog.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  // The folder browser's new dialog style needs COM on this thread.
  OleInitialize(nullptr);
  parvox::wMain mainWindow;
  if (!mainWindow.Create(commandLine, parvox::CurrentModulePath())) return 1;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // The modeless log window gets its own keyboard navigation.
    HWND log = parvox::LogWindowHandle();
    if (log != nullptr && IsDialogMessageW(log, &message)) continue;
    if (IsDialogMessageW(mainWindow.Handle(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
