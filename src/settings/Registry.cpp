// Run-key access; failures are not reported, as for every settings write.
#include "settings/Registry.h"

#include "components/UniqueHandle.h"

namespace parvox {

// Wide throughout: a path the ANSI code page cannot spell (a user folder named "Łukasz")
// must still start the program at logon.
void SetRegistryString(HKEY root, const std::wstring& subKey, const std::wstring& valueName,
                       const std::wstring& value) {
  HKEY opened = nullptr;
  if (RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened,
                      nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegistryKey key(opened);
  RegSetValueExW(key.Get(), valueName.c_str(), 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void SetRunValue(const std::wstring& valueName, const std::wstring& executablePath) {
  SetRegistryString(HKEY_CURRENT_USER, kRunKeyPath, valueName, L"\"" + executablePath + L"\"");
}

void RemoveRunValue(const std::wstring& valueName) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, KEY_SET_VALUE, &opened) != ERROR_SUCCESS)
    return;
  RegistryKey key(opened);
  RegDeleteValueW(key.Get(), valueName.c_str());
}

}  // namespace parvox
