// ShellExecuteExA with the ANSI texts of the NET command.
#include "sending/ShellCommand.h"

#include <shellapi.h>

#include "components/AnsiText.h"
#include "components/MessageBoxSeam.h"

namespace parvox {

bool ShellOpen(const std::wstring& file, const std::wstring& parameters,
               const std::wstring& directory, HWND owner) {
  std::string ansiFile, ansiParameters, ansiDirectory;
  if (!ToAnsi(file, ansiFile) || !ToAnsi(parameters, ansiParameters) ||
      !ToAnsi(directory, ansiDirectory)) {
    return false;
  }
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = 0;
  info.hwnd = owner;
  info.lpVerb = "open";
  info.lpFile = ansiFile.c_str();
  info.lpParameters = ansiParameters.c_str();
  info.lpDirectory = directory.empty() ? nullptr : ansiDirectory.c_str();
  info.nShow = SW_HIDE;
  if (!ShellExecuteExA(&info) && info.hInstApp == nullptr) {
    ShowMessageBox(owner, L"Um.. you don't appear to have a web-browser installed...",
                   L"Error visiting link...", MB_OK | MB_ICONEXCLAMATION);
  }
  return true;
}

}  // namespace parvox
