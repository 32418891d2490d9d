// One step of the program's message loop, shared by the entry point and the tests that press
// keys the way a user does.
#pragma once

#include <windows.h>

namespace parvox {

// The modeless log window, the main window and the windows of received messages get their
// keyboard navigation (Tab, Escape, Enter, arrow keys) first; anything else is translated and
// dispatched.
void DispatchProgramMessage(HWND mainWindow, MSG& message);

}  // namespace parvox
