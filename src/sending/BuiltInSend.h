// The built-in send of one recipient: its signed network datagrams and the classic mailslot one.
#pragma once

#include <string>

namespace parvox {

class NetworkSend;

inline constexpr wchar_t kUnconvertibleText[] =
    L"The message could not be converted to the system's code page, so it was not sent.";

// Each outcome is noted in the send's tracker; the mailslot datagram only when `mailslot`.
void AddBuiltInRecipient(NetworkSend& network, const std::wstring& user, const std::wstring& text,
                         const std::wstring& address, bool domain, bool mailslot);

}  // namespace parvox
