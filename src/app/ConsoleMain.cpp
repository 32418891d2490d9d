// parvox.com, the console twin of parvox.exe: a console program, so cmd, batch files and
// PowerShell wait for it, show its output and take its exit code, and it loads none of the
// windowing libraries, so a script's send starts fast. Typed as "parvox", the shell runs it
// before parvox.exe. Only "parvox" and "parvox MINIMIZE" start the window of parvox.exe beside it.
#include <windows.h>

#include "components/ModulePath.h"
#include "components/ScriptConsole.h"
#include "components/SystemErrorText.h"
#include "sending/ScriptSend.h"

namespace {

int StartWindowProgram(const std::wstring& modulePath, std::wstring_view arguments) {
  std::wstring program = modulePath.substr(0, modulePath.rfind(L'.')) + L".exe";
  std::wstring line = L"\"" + program + L"\" " + std::wstring(arguments);
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    parvox::ScriptConsole().Err(L"Parvox could not start " + program + L": " +
                                parvox::SystemErrorText(GetLastError()) + L"\r\n");
    return 1;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}

}  // namespace

int wmain() {
  std::wstring_view arguments = parvox::ArgumentsOfCommandLine(GetCommandLineW());
  std::wstring modulePath = parvox::CurrentModulePath();
  parvox::ScriptCommand script = parvox::ParseConsoleCommand(arguments);
  if (script.kind == parvox::ScriptCommand::Kind::kNone) {
    return StartWindowProgram(modulePath, arguments);
  }
  return parvox::RunScriptCommand(script, modulePath);
}
