// Run-key access; failures are not reported, as for every settings write.
#include "settings/modRegistry.h"

#include "components/UniqueHandle.h"
#include "settings/AnsiText.h"

namespace parvox {

void SetRegistryString(HKEY root, const std::wstring& subKey, const std::wstring& valueName,
                       const std::wstring& value) {
  HKEY opened = nullptr;
  if (RegCreateKeyA(root, ToAnsi(subKey).c_str(), &opened) != ERROR_SUCCESS) return;
  RegistryKey key(opened);
  std::string data = ToAnsi(value);
  RegSetValueExA(key.Get(), ToAnsi(valueName).c_str(), 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(data.c_str()), static_cast<DWORD>(data.size() + 1));
}

void SetRunValue(const std::wstring& valueName, const std::wstring& executablePath) {
  SetRegistryString(HKEY_CURRENT_USER, kRunKeyPath, valueName, L"\"" + executablePath + L"\"");
}

void RemoveRunValue(const std::wstring& valueName) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, ToAnsi(kRunKeyPath).c_str(), 0, KEY_ALL_ACCESS, &opened) !=
      ERROR_SUCCESS) {
    return;
  }
  RegistryKey key(opened);
  RegDeleteValueA(key.Get(), ToAnsi(valueName).c_str());
}

}  // namespace parvox
