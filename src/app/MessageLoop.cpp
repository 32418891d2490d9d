// The program's message loop step.
#include "app/MessageLoop.h"

#include "log/modLog.h"

namespace parvox {

void DispatchProgramMessage(HWND mainWindow, MSG& message) {
  HWND log = LogWindowHandle();
  if (log != nullptr && IsDialogMessageW(log, &message)) return;
  if (mainWindow != nullptr && IsDialogMessageW(mainWindow, &message)) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

}  // namespace parvox
