// The user's key in the registry, under DPAPI.
#include "identity/UserKeyStore.h"

#include <windows.h>
// wincrypt.h needs the base types first.
#include <wincrypt.h>

#include "components/UniqueHandle.h"
#include "identity/KeyText.h"
#include "identity/ThisComputer.h"
#include "identity/UserLock.h"
#include "identity/UserSecret.h"
#include "log/Log.h"

namespace parvox {
namespace {

// Read and write where it may; where the key is closed to writing (a policy, a locked-down
// profile), only read, so that a key stored before still signs.
RegistryKey OpenParvoxKey(bool& writable) {
  HKEY opened = nullptr;
  writable =
      RegCreateKeyExW(HKEY_CURRENT_USER, kParvoxRegistryPath, 0, nullptr, 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &opened, nullptr) == ERROR_SUCCESS;
  if (!writable && RegOpenKeyExW(HKEY_CURRENT_USER, kParvoxRegistryPath, 0, KEY_QUERY_VALUE,
                                 &opened) != ERROR_SUCCESS) {
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

// A value name no other kept key has, with the time it was set aside.
std::wstring SetAsideName(HKEY key) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t stamp[64];
  swprintf(stamp, 64, L"%04u-%02u-%02u %02u.%02u.%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
           now.wMinute, now.wSecond);
  std::wstring base = std::wstring(kPrivateKeyValue) + L" (unreadable, set aside " + stamp;
  // Bounded: a registry that answers neither "there" nor "not there" must not hang start-up.
  for (int n = 1; n < 1000; ++n) {
    std::wstring name = base + (n == 1 ? L")" : L", " + std::to_wstring(n) + L")");
    if (RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
        ERROR_FILE_NOT_FOUND) {
      return name;
    }
  }
  return std::wstring();
}

bool StoreKey(HKEY key, const SigningKey& signingKey) {
  std::string blob = signingKey.PrivateBlob();
  std::string protectedBlob = ProtectForThisUser(blob, L"Parvox signing key");
  SecureZeroMemory(blob.data(), blob.size());
  if (protectedBlob.empty() ||
      !WriteValue(key, kPrivateKeyValue, REG_BINARY, protectedBlob.data(), protectedBlob.size())) {
    return false;
  }
  std::string text = EncodeBase64(signingKey.PublicKey());
  std::wstring wide(text.begin(), text.end());
  WriteValue(key, kPublicKeyValue, REG_SZ, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
  return true;
}

}  // namespace

LoadedUserKey LoadOrCreateUserKey() {
  // parvox.exe and parvox.com started together for the first time would each make a key, and
  // one would sign with a key the other then overwrites: whoever comes second reads the first's.
  UserLock lock(L"signing key");
  LoadedUserKey loaded;
  bool storable = false;
  RegistryKey key = OpenParvoxKey(storable);
  std::string stored = key.Valid() ? ReadBinary(key.Get(), kPrivateKeyValue) : std::string();
  if (!stored.empty()) {
    std::string blob = UnprotectForThisUser(stored);
    loaded.key = SigningKey::FromPrivateBlob(blob);
    SecureZeroMemory(blob.data(), blob.size());
    if (loaded.key != nullptr) return loaded;
    loaded.notice =
        L"Your signing key could not be read (it was protected for another Windows "
        L"user or computer), so Parvox made a new one: people who remembered the old "
        L"key will see a warning on your next message.";
    // Never overwritten: the user may yet bring it back to the computer and account it was for.
    std::wstring aside = SetAsideName(key.Get());
    if (storable && !aside.empty() &&
        WriteValue(key.Get(), aside, REG_BINARY, stored.data(), stored.size())) {
      loaded.notice += L" The old key was kept in the registry as \"" + aside + L"\".";
    } else {
      storable = false;  // so it stays where it is
    }
  }
  loaded.key = SigningKey::Generate();
  if (loaded.key == nullptr) return loaded;
  // Said, since every run would otherwise sign with another key without a word.
  if (!storable || !StoreKey(key.Get(), *loaded.key)) {
    if (!loaded.notice.empty()) loaded.notice += L" ";
    loaded.notice +=
        L"Your signing key could not be stored in the registry (HKEY_CURRENT_USER\\Software\\"
        L"Parvox), so Parvox signs with a key for this run only: people who remembered your key "
        L"will see a warning on your messages.";
  }
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
