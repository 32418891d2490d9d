// Entry point: start-up is the creation of the main window.
#include <windows.h>

#include <commctrl.h>

#include "app/modDeclarations.h"
#include "app/wMain.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  parvox::wMain mainWindow;
  if (!mainWindow.Create(commandLine, parvox::CurrentModulePath())) return 1;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(mainWindow.Handle(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
