// The built-in send's transport: one datagram written into a recipient's mailslot.
#pragma once

#include <string>

namespace parvox {

struct MailslotMessage {
  std::wstring From;
  std::wstring To;
  std::wstring Text;
};

enum MailslotResult : int {
  kMailslotSent = 0,
  kMailslotNoText = 1,
  kMailslotShortWrite = 2,
  kMailslotFailed = 3,
  kMailslotUnconvertible = 4,  // the texts could not be put into the ANSI code page: nothing sent
  kMailslotRefusedName = 5,    // To is no name a mailslot may be opened on: nothing opened
};

// Writes From NUL To NUL Text NUL NUL to "\\To\mailslot\slotName". Fills an empty To with "*"
// and an empty From with the user name; opens nothing for a To that IsMailslotTargetName refuses. A
// datagram over 65,537 bytes is not sent (result 3). On a failed open or write, `errorCode` (when
// given) receives the platform's error code; it is 0 for every other result.
int SendMailslotMessage(const std::wstring& slotName, MailslotMessage& message,
                        unsigned long* errorCode = nullptr);

}  // namespace parvox
