// Known senders' keys from the settings file and the registry.
#include "identity/KnownSenderStore.h"

#include <windows.h>

#include "components/UniqueHandle.h"
#include "identity/KeyText.h"
#include "identity/MessageSigning.h"
#include "log/Log.h"
#include "network/NetworkDatagram.h"
#include "settings/AppState.h"
#include "settings/Registry.h"
#include "settings/SettingsFile.h"

namespace parvox {
namespace {

std::optional<std::string> KeyFromText(std::wstring_view text) {
  std::string narrow;
  for (wchar_t c : text) {
    if (c > 0x7F) return std::nullopt;
    narrow.push_back(static_cast<char>(c));
  }
  std::optional<std::string> key = DecodeBase64(narrow);
  if (!key || key->size() != kPublicKeyBytes || (*key)[0] != '\x04') return std::nullopt;
  return key;
}

// "KEY" or "FINGERPRINT KEY"; a fingerprint must be the key's own.
std::optional<std::string> GivenKey(std::wstring_view value) {
  size_t blank = value.find(L' ');
  std::optional<std::string> key = KeyFromText(value.substr(blank == value.npos ? 0 : blank + 1));
  if (!key || (blank != value.npos && value.substr(0, blank) != KeyFingerprint(*key)))
    return std::nullopt;
  return key;
}

// A sender is written "COMPUTER\name", with both parts.
std::optional<std::wstring> GivenSender(std::wstring_view name) {
  size_t slash = name.find(L'\\');
  if (slash == 0 || slash == name.npos || slash + 1 == name.size()) return std::nullopt;
  return SenderName(name.substr(0, slash), name.substr(slash + 1));
}

void LoadRemembered(SenderKeys& keys) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kKnownSendersRegistryPath, 0, KEY_QUERY_VALUE, &opened) !=
      ERROR_SUCCESS) {
    return;
  }
  RegistryKey key(opened);
  for (DWORD index = 0;; ++index) {
    wchar_t name[16384];
    wchar_t value[256];
    DWORD nameLength = 16384, valueSize = sizeof value, type = 0;
    LONG result = RegEnumValueW(key.Get(), index, name, &nameLength, nullptr, &type,
                                reinterpret_cast<BYTE*>(value), &valueSize);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || type != REG_SZ) continue;  // not one of ours: left alone
    std::wstring_view text(value, valueSize / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.remove_suffix(1);
    if (std::optional<std::string> known = KeyFromText(text)) {
      keys.Remember(std::wstring_view(name, nameLength), *known);
    }
  }
}

}  // namespace

SenderKeys LoadSenderKeys(const std::wstring& settingsFile, std::vector<std::wstring>& badLines) {
  SenderKeys keys;
  LoadRemembered(keys);
  for (const auto& [name, value] :
       ReadIniDocument(settingsFile).ReadSection(kKnownSendersSection)) {
    std::optional<std::wstring> sender = GivenSender(name);
    std::optional<std::string> key = GivenKey(value);
    if (sender && key) {
      keys.Give(*sender, *key);
    } else {
      badLines.push_back(name + L"=" + value);
    }
  }
  return keys;
}

SenderKeys& KnownSenders() {
  static SenderKeys keys = [] {
    std::vector<std::wstring> badLines;
    SenderKeys loaded = LoadSenderKeys(App().settingsFilePath, badLines);
    for (const std::wstring& line : badLines) {
      AppendLog(false, L"The line \"" + line.substr(0, 300) + L"\" in the settings file's [" +
                           kKnownSendersSection +
                           L"] was ignored: it must read COMPUTER\\name=KEY, where KEY is a Parvox "
                           L"public key, with its fingerprint and a blank before it if you like.");
    }
    return loaded;
  }();
  return keys;
}

bool RememberSenderKey(const std::wstring& sender, const std::string& key) {
  if (!KnownSenders().Remember(sender, key)) return false;
  // Known for this run even when the registry refuses it.
  std::string text = EncodeBase64(key);
  SetRegistryString(HKEY_CURRENT_USER, kKnownSendersRegistryPath, sender,
                    std::wstring(text.begin(), text.end()));
  return true;
}

}  // namespace parvox
