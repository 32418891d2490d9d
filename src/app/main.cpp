// Entry point: start-up is the creation of the main window, unless a script sends.
#include <windows.h>

// The control and COM headers build on windows.h.
#include <commctrl.h>
#include <ole2.h>

#include "app/MainWindow.h"
#include "components/ModulePath.h"
#include "sending/ScriptSend.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  parvox::ScriptCommand script = parvox::ParseScriptCommand(commandLine);
  if (script.kind != parvox::ScriptCommand::Kind::kNone) {
    return parvox::RunScriptCommand(script, parvox::CurrentModulePath());
  }
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  // The folder browser's new dialog style needs COM on this thread.
  OleInitialize(nullptr);
  parvox::MainWindow mainWindow;
  if (!mainWindow.Create(commandLine, parvox::CurrentModulePath())) return 1;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    parvox::DispatchFormMessage(message);
  }
  return static_cast<int>(message.wParam);
}
