// The user's own signing key: made the first time it is needed and kept for this Windows user
// alone, protected with DPAPI under HKEY_CURRENT_USER\Software\Parvox. It never enters the
// settings file, a backup or the log.
#pragma once

#include <memory>
#include <string>

#include "identity/MessageSigning.h"

namespace parvox {

inline constexpr wchar_t kParvoxRegistryPath[] = L"Software\\Parvox";
inline constexpr wchar_t kPrivateKeyValue[] = L"Private Key";
// The public half, in base64, as a [Known Senders] line takes it.
inline constexpr wchar_t kPublicKeyValue[] = L"Public Key";

struct LoadedUserKey {
  std::unique_ptr<SigningKey> key;  // nullptr when the system can neither read nor make one
  // For the log: the stored key could not be read (a profile copied from another computer, say),
  // so a new one was made and the old one kept under another value name.
  std::wstring notice;
};

// Reads the stored key, or makes and stores a new one.
LoadedUserKey LoadOrCreateUserKey();

// The key this program signs with, loaded once; nullptr when there is none (the notice, if any,
// is logged when it is loaded).
const SigningKey* UserSigningKey();

// The user's key as people check it and hand it out: its fingerprint ("no key" when there is
// none), and the [Known Senders] line that gives it to other computers.
std::wstring UserKeyFingerprint();
std::wstring KnownSendersLine();

}  // namespace parvox
