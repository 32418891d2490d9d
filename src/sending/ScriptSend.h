// A script's send (`parvox send ...`): the built-in sender's two paths without a window, one line
// per recipient on standard output, and the exit code that says who got it.
#pragma once

#include <string>

#include "sending/ScriptCommandLine.h"

namespace parvox {

// `modulePath` is parvox.exe's: the settings file beside it gives the network port and the
// trusted networks, and nothing is written to it. Returns the process's exit code.
int RunScriptCommand(const ScriptCommand& command, const std::wstring& modulePath);

}  // namespace parvox
