// Known senders' keys from the settings file and the registry, read at each decision.
#include "identity/KnownSenderStore.h"

#include <windows.h>

#include <set>

#include "components/UniqueHandle.h"
#include "identity/MessageSigning.h"
#include "identity/ThisComputer.h"
#include "identity/UserKeyStore.h"
#include "identity/UserLock.h"
#include "log/Log.h"
#include "settings/AppState.h"
#include "settings/SettingsFile.h"

namespace parvox {

std::wstring FoldedName(std::wstring_view part) {
  if (part.empty()) return std::wstring();
  std::wstring normal(part.size() * 2 + 8, L'\0');
  int length = 0;
  // The first size is a guess; the system says when it needs more.
  for (int attempt = 0; attempt < 4; ++attempt) {
    length = NormalizeString(NormalizationKC, part.data(), static_cast<int>(part.size()),
                             normal.data(), static_cast<int>(normal.size()));
    if (length > 0 || GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    normal.resize(normal.size() * 2);
  }
  // A name the system cannot normalise (an unpaired surrogate, say) keeps its own spelling.
  if (length <= 0)
    normal.assign(part);
  else
    normal.resize(static_cast<size_t>(length));
  std::wstring folded(normal.size(), L'\0');
  int mapped = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, normal.data(),
                             static_cast<int>(normal.size()), folded.data(),
                             static_cast<int>(folded.size()), nullptr, nullptr, 0);
  if (mapped <= 0) return normal;
  folded.resize(static_cast<size_t>(mapped));
  return folded;
}

namespace {

// "KEY" or "FINGERPRINT KEY"; a fingerprint must be the key's own.
std::optional<std::string> GivenKey(std::wstring_view value) {
  size_t blank = value.find(L' ');
  std::optional<std::string> key =
      PublicKeyFromText(value.substr(blank == value.npos ? 0 : blank + 1));
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

RegistryKey OpenStore(REGSAM access, bool create) {
  HKEY opened = nullptr;
  LONG result =
      create ? RegCreateKeyExW(HKEY_CURRENT_USER, kKnownSendersRegistryPath, 0, nullptr, 0, access,
                               nullptr, &opened, nullptr)
             : RegOpenKeyExW(HKEY_CURRENT_USER, kKnownSendersRegistryPath, 0, access, &opened);
  return result == ERROR_SUCCESS ? RegistryKey(opened) : RegistryKey();
}

constexpr wchar_t kStoreLock[] = L"known senders";

// A remembered key is short: anything longer is not one of ours.
constexpr DWORD kMaxValueChars = 256;

// A REG_SZ value as read, its terminating zeros (if any) dropped.
std::optional<RememberedKey> ParseStoredValue(const wchar_t* value, DWORD bytes) {
  std::wstring_view text(value, bytes / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.remove_suffix(1);
  return ParseRememberedKey(text);
}

std::optional<RememberedKey> ReadRemembered(HKEY key, const std::wstring& sender) {
  wchar_t value[kMaxValueChars];
  DWORD size = sizeof value, type = 0;
  if (RegQueryValueExW(key, sender.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value),
                       &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return std::nullopt;
  }
  return ParseStoredValue(value, size);
}

bool WriteRemembered(HKEY key, const std::wstring& sender, const RememberedKey& remembered) {
  std::wstring text = FormatRememberedKey(remembered);
  return RegSetValueExW(key, sender.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// Every remembered sender, by its value's name as stored.
std::vector<std::pair<std::wstring, RememberedKey>> ReadAllRemembered(HKEY key) {
  std::vector<std::pair<std::wstring, RememberedKey>> stored;
  for (DWORD index = 0;; ++index) {
    wchar_t name[16384];
    wchar_t value[kMaxValueChars];
    DWORD nameLength = 16384, valueSize = sizeof value, type = 0;
    LONG result = RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                reinterpret_cast<BYTE*>(value), &valueSize);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || type != REG_SZ) continue;  // not one of ours: left alone
    if (std::optional<RememberedKey> remembered = ParseStoredValue(value, valueSize)) {
      stored.emplace_back(std::wstring(name, nameLength), std::move(*remembered));
    }
  }
  return stored;
}

// Logs `line` the first time it is seen in this run (on the one thread that decides).
void LogOnce(const std::wstring& line) {
  static std::set<std::wstring> logged;
  if (logged.size() < 1000 && logged.insert(line).second) AppendLog(false, line);
}

// The given keys of the settings file, read from the file as it is now.
SenderKeys GivenKeys(const std::wstring& settingsFile, std::vector<std::wstring>& badLines) {
  SenderKeys keys;
  const IniDocument& document = ReadIniDocument(settingsFile);
  for (const auto& [name, value] : document.ReadSection(kKnownSendersSection)) {
    std::optional<std::wstring> sender = GivenSender(name);
    std::optional<std::string> key = GivenKey(value);
    if (sender && key) {
      keys.Give(*sender, *key);
    } else {
      badLines.push_back(name + L"=" + value);
    }
  }
  for (std::wstring& line : document.LinesWithoutKey(kKnownSendersSection)) {
    badLines.push_back(std::move(line));
  }
  return keys;
}

}  // namespace

std::wstring SenderName(std::wstring_view computer, std::wstring_view user) {
  return FoldedName(computer) + L'\\' + FoldedName(user);
}

SenderKeys KnownSenderKeys(const std::wstring& sender) {
  std::vector<std::wstring> badLines;
  SenderKeys given = GivenKeys(App().settingsFilePath, badLines);
  for (const std::wstring& line : badLines) {
    LogOnce(L"The line \"" + line.substr(0, 300) + L"\" in the settings file's [" +
            kKnownSendersSection +
            L"] was ignored: it must read COMPUTER\\name=KEY, where KEY is a Parvox public key, "
            L"with its fingerprint and a blank before it if you like.");
  }
  SenderKeys keys;
  std::optional<SenderKeys::Known> givenKey = given.Find(sender);
  // This user's own key is known for their own name here, as an administrator would give it.
  // Asked once per run, unlike the names a message carries: every receipt comes here, and the
  // system's answer is slow.
  static const std::wstring ownName = SenderName(GetThisComputerName(), GetCurrentUserName());
  const SigningKey* own = UserSigningKey();
  if (!givenKey && own != nullptr && sender == ownName) {
    givenKey = SenderKeys::Known{own->PublicKey(), true};
  }
  if (givenKey) keys.Give(sender, givenKey->key);
  std::optional<RememberedKey> remembered;
  if (RegistryKey store = OpenStore(KEY_QUERY_VALUE, false); store.Valid())
    remembered = ReadRemembered(store.Get(), sender);
  if (remembered) {
    keys.Remember(sender, remembered->key);
    if (givenKey && givenKey->key != remembered->key) {
      LogOnce(L"The key your administrator gave for " + sender + L" in the settings file's [" +
              kKnownSendersSection + L"] (" + KeyFingerprint(givenKey->key) +
              L") differs from the one remembered for them (" + KeyFingerprint(remembered->key) +
              L"). The given key is the one Parvox trusts.");
    }
  }
  return keys;
}

Verification::KeyMemory RememberFirstKey(const std::wstring& sender, const std::string& key) {
  using KeyMemory = Verification::KeyMemory;
  UserLock lock(kStoreLock);
  RegistryKey store = OpenStore(KEY_QUERY_VALUE | KEY_SET_VALUE, true);
  if (!lock.Held() || !store.Valid()) return KeyMemory::kNotStored;
  // Create only where none is stored: a key learnt meanwhile is never overwritten.
  if (std::optional<RememberedKey> stored = ReadRemembered(store.Get(), sender)) {
    return stored->key == key ? KeyMemory::kRemembered : KeyMemory::kAnotherKeyStored;
  }
  DWORD count = 0;
  if (RegQueryInfoKeyW(store.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                       nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return KeyMemory::kNotStored;
  }
  if (count >= SenderKeys::kMaxRemembered) {
    std::vector<std::pair<std::wstring, RememberedKey>> stored = ReadAllRemembered(store.Get());
    std::optional<size_t> replaced = SenderToReplace(stored);
    if (!replaced) return KeyMemory::kStoreFull;
    // Written only in place of one that is gone, so that the store stays within its bound.
    if (RegDeleteValueW(store.Get(), stored[*replaced].first.c_str()) != ERROR_SUCCESS)
      return KeyMemory::kNotStored;
  }
  return WriteRemembered(store.Get(), sender, {key, false, SecondsSince1970()})
             ? KeyMemory::kRemembered
             : KeyMemory::kNotStored;
}

void NoteSeenAgain(const std::wstring& sender) {
  // Most senders were seen again long ago: the lock only for the one write.
  if (RegistryKey store = OpenStore(KEY_QUERY_VALUE, false); store.Valid()) {
    std::optional<RememberedKey> remembered = ReadRemembered(store.Get(), sender);
    if (!remembered || remembered->seenAgain) return;
  }
  UserLock lock(kStoreLock);
  RegistryKey store = OpenStore(KEY_QUERY_VALUE | KEY_SET_VALUE, false);
  if (!lock.Held() || !store.Valid()) return;
  std::optional<RememberedKey> remembered = ReadRemembered(store.Get(), sender);
  if (!remembered || remembered->seenAgain) return;
  remembered->seenAgain = true;
  WriteRemembered(store.Get(), sender, *remembered);
}

bool ReplaceSenderKey(const std::wstring& sender, const std::string& key) {
  UserLock lock(kStoreLock);
  RegistryKey store = OpenStore(KEY_SET_VALUE, true);
  return lock.Held() && store.Valid() && WriteRemembered(store.Get(), sender, {key, true, 0});
}

}  // namespace parvox
