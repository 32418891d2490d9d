// This user's own Parvox folder, found without the shell so that parvox.com need not load it.
#include "components/UserDataFolder.h"

#include <windows.h>

namespace parvox {

std::wstring UserDataFile(const std::wstring& name) {
  wchar_t folder[MAX_PATH];
  DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::wstring path = std::wstring(folder, length) + L"\\Parvox";
  CreateDirectoryW(path.c_str(), nullptr);
  return path + L"\\" + name;
}

}  // namespace parvox
