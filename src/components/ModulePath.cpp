// The executable's path from the system.
#include "components/ModulePath.h"

#include <windows.h>

namespace parvox {

std::wstring CurrentModulePath() {
  // Long paths: grow the buffer until the whole path fits.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace parvox
