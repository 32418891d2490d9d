// The folder browser of the backup and restore commands: the shell's, or a test's stand-in
// that answers in the person's place.
#pragma once

#include <windows.h>

#include <string>

namespace parvox {

// SHBrowseForFolderW opened on `startFolder` (when not empty); the chosen folder's file-system
// path, or the empty text when cancelled or when the choice has no such path.
std::wstring ShellBrowseForFolder(HWND owner, const std::wstring& startFolder,
                                  const std::wstring& title);

using FolderBrowserHandler = std::wstring (*)(HWND owner, const std::wstring& startFolder,
                                              const std::wstring& title);

// The current browser (the shell's by default): the chosen folder's path, or the empty text
// when cancelled.
std::wstring BrowseForFolder(HWND owner, const std::wstring& startFolder,
                             const std::wstring& title);
// Replaces the browser; returns the previous one. nullptr restores the shell's browser.
FolderBrowserHandler SetFolderBrowserHandler(FolderBrowserHandler handler);

}  // namespace parvox
