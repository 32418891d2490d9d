// The shell's folder browser, as the backup and restore commands use it.
#pragma once

#include <windows.h>

#include <string>

namespace parvox {

// SHBrowseForFolderW opened on `startFolder` (when not empty); the chosen folder's file-system
// path, or the empty text when cancelled or when the choice has no such path.
std::wstring ShellBrowseForFolder(HWND owner, const std::wstring& startFolder, const std::wstring& title);

}  // namespace parvox
