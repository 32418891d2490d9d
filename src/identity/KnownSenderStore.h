// The keys this user's Parvox knows for other senders: those an administrator hands out in the
// settings file's [Known Senders] section ("PCA\alice=KEY", or the fingerprint, a blank and the
// key), and those remembered on first contact, which are the user's own and live in the
// registry under HKEY_CURRENT_USER\Software\Parvox\Known Senders, one value per sender. Every
// decision reads what is stored at that moment, so the window and a script's send agree.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "identity/SenderTrust.h"

namespace parvox {

inline constexpr wchar_t kKnownSendersRegistryPath[] = L"Software\\Parvox\\Known Senders";

// "PCA\alice" in the one spelling that memory, the registry and the settings file share: each
// part normalised (NFKC, so that look-alike spellings of a name are one sender) and upper-cased
// as the registry compares value names.
std::wstring SenderName(std::wstring_view computer, std::wstring_view user);
// One such part folded alone: a user or computer name compared with what a receipt names.
std::wstring FoldedName(std::wstring_view name);

// What is known for `sender` (a SenderName) now: the key the program's settings file gives (for
// this user's own name, their own key) and the one remembered in the registry. A bad line of the
// section, and a given key that differs from the remembered one, get one log line each.
SenderKeys KnownSenderKeys(const std::wstring& sender);

// Remembers the key of a sender whose first message is being shown, unless a key is stored for
// them already (another Parvox of this user may have learnt one meanwhile): that one stays.
// At SenderKeys::kMaxRemembered, the new sender replaces the oldest one seen only once.
Verification::KeyMemory RememberFirstKey(const std::wstring& sender, const std::string& key);
// A remembered sender's key verified again: from now on it is never replaced by a new sender.
void NoteSeenAgain(const std::wstring& sender);
// The user confirmed a changed key: it replaces whatever was remembered.
bool ReplaceSenderKey(const std::wstring& sender, const std::string& key);

}  // namespace parvox
