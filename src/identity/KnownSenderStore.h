// The keys this user's Parvox knows for other senders: those an administrator hands out in the
// settings file's [Known Senders] section ("PCA\alice=KEY", or the fingerprint, a blank and the
// key), and those remembered on first contact, which are the user's own and live in the
// registry under HKEY_CURRENT_USER\Software\Parvox\Known Senders, one value per sender.
#pragma once

#include <string>
#include <vector>

#include "identity/SenderTrust.h"

namespace parvox {

inline constexpr wchar_t kKnownSendersSection[] = L"Known Senders";
inline constexpr wchar_t kKnownSendersRegistryPath[] = L"Software\\Parvox\\Known Senders";

// Reads both sources; each line of the section that is not a sender and a key is named in
// `badLines` and left out.
SenderKeys LoadSenderKeys(const std::wstring& settingsFile, std::vector<std::wstring>& badLines);

// The keys of this run, loaded from the program's settings file the first time they are needed
// (a bad line gets one log line then).
SenderKeys& KnownSenders();
// Remembers `key` for `sender` (a SenderName) here and in the registry, in place of any key the
// user remembered before; false when the remembered senders are full.
bool RememberSenderKey(const std::wstring& sender, const std::string& key);

}  // namespace parvox
