// The two places where the program waits for a person's answer: message boxes and the folder
// browser. Tests replace them to answer
// in the person's place; everything else always runs for real.
#pragma once

#include <windows.h>

#include <string>

namespace parvox {

using MessageBoxHandler = int (*)(HWND owner, const std::wstring& text,
                                  const std::wstring& caption, UINT flags);

// Shows a message box (MessageBoxW by default) and returns the button chosen.
int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags);
// Replaces the handler; returns the previous one. nullptr restores the real message box.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

using FolderBrowserHandler = std::wstring (*)(HWND owner, const std::wstring& startFolder,
                                              const std::wstring& title);

// The shell's folder browser: the chosen folder's path, or the empty text when cancelled.
std::wstring BrowseForFolder(HWND owner, const std::wstring& startFolder, const std::wstring& title);
// Replaces the browser; returns the previous one. nullptr restores the shell's browser.
FolderBrowserHandler SetFolderBrowserHandler(FolderBrowserHandler handler);

}  // namespace parvox
