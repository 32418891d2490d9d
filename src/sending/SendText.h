// What the two send paths hand to the platform: the NET command's parameters and the mailslot
// path of the built-in send (its datagram is in network/MessengerDatagram.h).
#pragma once

#include <string>
#include <string_view>

namespace parvox {

// A process's command line holds at most 32,767 characters with its terminating NUL; the NET
// command's path, quoted and followed by a blank, takes up to MAX_PATH + 3 of them.
inline constexpr size_t kMaxNetParameterChars = 32767 - 1 - (260 + 3);

// "SEND \"A\" M" for a user or machine, "SEND /domain:A M" for a domain.
std::wstring NetSendParameters(const std::wstring& address, bool domain,
                               const std::wstring& message);

// "\\" + To + "\mailslot\" + slot.
std::wstring MailslotPath(const std::wstring& to, const std::wstring& slot);

// True for a name a mailslot may be opened on: a computer or domain name (letters, digits, "-",
// "_" and ".", at most 255 characters, not starting with "."), "*" or ".". Anything else could
// make the path name a file share or a web folder, which Windows would log on to with the
// user's credentials.
bool IsMailslotTargetName(std::wstring_view name);
// Why a recipient's mailslot was not opened, for the log.
std::wstring NoMailslotReason(const std::wstring& address);

// True when the built-in send to this entry is a broadcast: a domain, "*", or no address at all
// (which the sender turns into "*").
bool IsBroadcastRecipient(const std::wstring& address, bool domain);

// Why a mailslot write failed, as a sentence for the log, from the platform's error code and its
// own description of it (used for the codes without a sentence of their own); empty for 0.
std::wstring SendFailureReason(unsigned long errorCode, std::wstring systemText);

// "Error sending message to ADDRESS. REASON": a recipient's line in the log when it got nothing.
std::wstring SendErrorLine(const std::wstring& address, const std::wstring& reason);
// "The message is too long for PATH (SIZE UNIT; at most LIMIT)."
std::wstring TooLongReason(const std::wstring& path, size_t size, const std::wstring& unit,
                           size_t limit);

}  // namespace parvox
