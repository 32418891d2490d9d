// The user and computer names, read from the system each time: a user may be renamed while
// the program runs.
#include "identity/ThisComputer.h"

#include <windows.h>

#include <iterator>

#include "components/AnsiText.h"

namespace parvox {

std::wstring GetCurrentUserName() {
  char buffer[255];
  DWORD length = sizeof buffer;
  if (!GetUserNameA(buffer, &length) || length == 0) return std::wstring();
  std::wstring name;
  FromAnsi(std::string_view(buffer, length - 1), name);  // empty when it cannot be converted
  return name;
}

std::wstring GetThisComputerName() {
  wchar_t buffer[256];
  DWORD length = static_cast<DWORD>(std::size(buffer));
  if (!GetComputerNameExW(ComputerNameNetBIOS, buffer, &length)) return std::wstring();
  return std::wstring(buffer, length);
}

}  // namespace parvox
