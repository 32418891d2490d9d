// DPAPI for this user's secrets, and their binary values in the registry.
#include "identity/UserSecret.h"

#include <windows.h>
// wincrypt.h needs the base types first.
#include <wincrypt.h>

#include "components/UniqueHandle.h"
#include "identity/UserKeyStore.h"

namespace parvox {
namespace {

std::string CallDpapi(std::string_view in, bool protect, const wchar_t* description) {
  DATA_BLOB input{static_cast<DWORD>(in.size()),
                  reinterpret_cast<BYTE*>(const_cast<char*>(in.data()))};
  DATA_BLOB output{};
  BOOL done = protect ? CryptProtectData(&input, description, nullptr, nullptr, nullptr,
                                         CRYPTPROTECT_UI_FORBIDDEN, &output)
                      : CryptUnprotectData(&input, nullptr, nullptr, nullptr, nullptr,
                                           CRYPTPROTECT_UI_FORBIDDEN, &output);
  if (!done) return {};
  std::string result(reinterpret_cast<const char*>(output.pbData), output.cbData);
  SecureZeroMemory(output.pbData, output.cbData);
  LocalFree(output.pbData);
  return result;
}

}  // namespace

std::string ProtectForThisUser(std::string_view secret, const wchar_t* description) {
  return CallDpapi(secret, true, description);
}

std::string UnprotectForThisUser(std::string_view blob) { return CallDpapi(blob, false, nullptr); }

std::optional<std::string> ReadUserSecret(const wchar_t* valueName) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kParvoxRegistryPath, 0, KEY_QUERY_VALUE, &opened) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  RegistryKey key(opened);
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key.Get(), valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_BINARY || size == 0 || size > 64 * 1024) {
    return std::nullopt;
  }
  std::string blob(size, '\0');
  if (RegQueryValueExW(key.Get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(blob.data()),
                       &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  blob.resize(size);
  std::string secret = UnprotectForThisUser(blob);
  if (secret.empty()) return std::nullopt;
  return secret;
}

bool StoreUserSecret(const wchar_t* valueName, std::string_view secret) {
  HKEY opened = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kParvoxRegistryPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &opened, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  RegistryKey key(opened);
  if (secret.empty()) {
    LONG removed = RegDeleteValueW(key.Get(), valueName);
    return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
  }
  std::string blob = ProtectForThisUser(secret, valueName);
  return !blob.empty() && RegSetValueExW(key.Get(), valueName, 0, REG_BINARY,
                                         reinterpret_cast<const BYTE*>(blob.data()),
                                         static_cast<DWORD>(blob.size())) == ERROR_SUCCESS;
}

}  // namespace parvox
