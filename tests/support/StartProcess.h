// Starting a child program from a test.
#pragma once

#include <windows.h>

#include <string>

namespace parvox::test {

// CreateProcessW, tried again a few times: under Wine it fails now and then (ERROR_INTERNAL_ERROR
// among others) right after another child was ended, which no Windows does.
inline bool StartProcess(const wchar_t* application, std::wstring& commandLine, bool inherit,
                         const wchar_t* folder, STARTUPINFOW& startup,
                         PROCESS_INFORMATION& process) {
  for (int attempt = 0;; ++attempt) {
    if (CreateProcessW(application, commandLine.data(), nullptr, nullptr, inherit, 0, nullptr,
                       folder, &startup, &process)) {
      return true;
    }
    if (attempt == 4) return false;
    Sleep(100);
  }
}

}  // namespace parvox::test
