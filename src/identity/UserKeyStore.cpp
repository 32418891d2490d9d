// The user's key in the registry, under DPAPI.
#include "identity/UserKeyStore.h"

#include <windows.h>
// wincrypt.h needs the base types first.
#include <wincrypt.h>

#include "components/UniqueHandle.h"
#include "identity/KeyText.h"
#include "identity/ThisComputer.h"
#include "log/Log.h"

namespace parvox {
namespace {

RegistryKey OpenParvoxKey() {
  HKEY opened = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kParvoxRegistryPath, 0, nullptr, 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &opened,
                      nullptr) != ERROR_SUCCESS) {
    return RegistryKey();
  }
  return RegistryKey(opened);
}

std::string ReadBinary(HKEY key, const wchar_t* name) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_BINARY) {
    return {};
  }
  std::string bytes(size, '\0');
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  bytes.resize(size);
  return bytes;
}

bool WriteValue(HKEY key, const std::wstring& name, DWORD type, const void* data, size_t size) {
  return RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data),
                        static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

std::string CallDpapi(std::string_view in, bool protect) {
  DATA_BLOB input{static_cast<DWORD>(in.size()),
                  reinterpret_cast<BYTE*>(const_cast<char*>(in.data()))};
  DATA_BLOB output{};
  BOOL done = protect ? CryptProtectData(&input, L"Parvox signing key", nullptr, nullptr, nullptr,
                                         CRYPTPROTECT_UI_FORBIDDEN, &output)
                      : CryptUnprotectData(&input, nullptr, nullptr, nullptr, nullptr,
                                           CRYPTPROTECT_UI_FORBIDDEN, &output);
  if (!done) return {};
  std::string result(reinterpret_cast<const char*>(output.pbData), output.cbData);
  SecureZeroMemory(output.pbData, output.cbData);
  LocalFree(output.pbData);
  return result;
}

// A value name no other kept key has, with the time it was set aside.
std::wstring SetAsideName(HKEY key) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t stamp[64];
  swprintf(stamp, 64, L"%04u-%02u-%02u %02u.%02u.%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
           now.wMinute, now.wSecond);
  std::wstring base = std::wstring(kPrivateKeyValue) + L" (unreadable, set aside " + stamp;
  for (int n = 1;; ++n) {
    std::wstring name = base + (n == 1 ? L")" : L", " + std::to_wstring(n) + L")");
    if (RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
        ERROR_FILE_NOT_FOUND) {
      return name;
    }
  }
}

}  // namespace

LoadedUserKey LoadOrCreateUserKey() {
  LoadedUserKey loaded;
  RegistryKey key = OpenParvoxKey();
  std::string stored = key.Valid() ? ReadBinary(key.Get(), kPrivateKeyValue) : std::string();
  if (!stored.empty()) {
    std::string blob = CallDpapi(stored, false);
    loaded.key = SigningKey::FromPrivateBlob(blob);
    SecureZeroMemory(blob.data(), blob.size());
    if (loaded.key != nullptr) return loaded;
    // Never overwritten: the user may yet bring it back to the computer and account it was for.
    std::wstring aside = SetAsideName(key.Get());
    WriteValue(key.Get(), aside, REG_BINARY, stored.data(), stored.size());
    loaded.notice =
        L"Your signing key could not be read (it was protected for another Windows "
        L"user or computer), so Parvox made a new one: people who remembered the old "
        L"key will see a warning on your next message. The old key was kept in the "
        L"registry as \"" +
        aside + L"\".";
  }
  loaded.key = SigningKey::Generate();
  if (loaded.key == nullptr || !key.Valid()) return loaded;
  std::string blob = loaded.key->PrivateBlob();
  std::string protectedBlob = CallDpapi(blob, true);
  SecureZeroMemory(blob.data(), blob.size());
  // A key that cannot be kept still signs for this run; the next run makes another.
  if (protectedBlob.empty() || !WriteValue(key.Get(), kPrivateKeyValue, REG_BINARY,
                                           protectedBlob.data(), protectedBlob.size())) {
    return loaded;
  }
  std::string text = EncodeBase64(loaded.key->PublicKey());
  std::wstring wide(text.begin(), text.end());
  WriteValue(key.Get(), kPublicKeyValue, REG_SZ, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
  return loaded;
}

const SigningKey* UserSigningKey() {
  static std::unique_ptr<SigningKey> key = [] {
    LoadedUserKey loaded = LoadOrCreateUserKey();
    if (!loaded.notice.empty()) AppendLog(false, loaded.notice);
    return std::move(loaded.key);
  }();
  return key.get();
}

std::wstring UserKeyFingerprint() {
  const SigningKey* key = UserSigningKey();
  return key != nullptr ? KeyFingerprint(key->PublicKey()) : L"no key";
}

std::wstring KnownSendersLine() {
  const SigningKey* key = UserSigningKey();
  if (key == nullptr) return std::wstring();
  std::string text = EncodeBase64(key->PublicKey());
  return GetThisComputerName() + L"\\" + GetCurrentUserName() + L"=" +
         KeyFingerprint(key->PublicKey()) + L" " + std::wstring(text.begin(), text.end());
}

}  // namespace parvox
