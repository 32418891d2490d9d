// The user and computer names, read from the system each time: a user may be renamed while
// the program runs.
#include "identity/ThisComputer.h"

#include <lmcons.h>
#include <windows.h>

#include <iterator>

namespace parvox {

// Wide: through the ANSI code page, a name with characters it lacks would come out with "?" for
// them, and two accounts could become one sender. The mailslot converts at its own boundary.
std::wstring GetCurrentUserName() {
  wchar_t buffer[UNLEN + 1];
  DWORD length = static_cast<DWORD>(std::size(buffer));
  if (!GetUserNameW(buffer, &length) || length == 0) return std::wstring();
  return std::wstring(buffer, length - 1);
}

std::wstring GetThisComputerName() {
  wchar_t buffer[256];
  DWORD length = static_cast<DWORD>(std::size(buffer));
  if (!GetComputerNameExW(ComputerNameNetBIOS, buffer, &length)) return std::wstring();
  return std::wstring(buffer, length);
}

}  // namespace parvox
