// Starting a shell command hidden, the way the NET SEND path needs it.
#pragma once

#include <windows.h>

#include <string>

namespace parvox {

// Starts `file` with `parameters` through the shell ("open" verb, hidden, not waited for).
// Only a failure that leaves no instance code at all is reported, with a message box. False,
// with nothing started, when the texts cannot be put into the ANSI code page.
bool ShellOpen(const std::wstring& file, const std::wstring& parameters,
               const std::wstring& directory, HWND owner);

}  // namespace parvox
