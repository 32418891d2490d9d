// The program's message loop step.
#include "app/MessageLoop.h"

#include "log/Log.h"
#include "receiving/MessageInbox.h"

namespace parvox {

void DispatchProgramMessage(HWND mainWindow, MSG& message) {
  HWND log = LogWindowHandle();
  if (log != nullptr && IsDialogMessageW(log, &message)) return;
  if (mainWindow != nullptr && IsDialogMessageW(mainWindow, &message)) return;
  HWND root = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
  if (root != nullptr && IsReceivedMessageWindow(root) && IsDialogMessageW(root, &message)) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

}  // namespace parvox
