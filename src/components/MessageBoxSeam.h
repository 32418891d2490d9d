// Message boxes, one of the two places where the program waits for a person's answer (the
// folder browser is the other). Tests replace the handler to answer in the person's place;
// everything else always runs for real.
#pragma once

#include <windows.h>

#include <string>

namespace parvox {

using MessageBoxHandler = int (*)(HWND owner, const std::wstring& text, const std::wstring& caption,
                                  UINT flags);

// Shows a message box (MessageBoxW by default) and returns the button chosen.
int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags);
// Replaces the handler; returns the previous one. nullptr restores the real message box.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace parvox
