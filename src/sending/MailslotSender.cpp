// Mailslot writes through the file API, one open, write and close per recipient.
#include "sending/MailslotSender.h"

#include <windows.h>

#include "components/AnsiText.h"
#include "components/UniqueHandle.h"
#include "identity/ThisComputer.h"
#include "network/MessengerDatagram.h"
#include "sending/SendText.h"

namespace parvox {

int SendMailslotMessage(const std::wstring& slotName, MailslotMessage& message,
                        unsigned long* errorCode) {
  unsigned long ignored = 0;
  unsigned long& error = errorCode != nullptr ? *errorCode : ignored;
  error = 0;
  if (message.Text.empty()) return kMailslotNoText;
  if (message.To.empty()) message.To = L"*";
  if (message.From.empty()) message.From = GetCurrentUserName();
  if (!IsMailslotTargetName(message.To)) return kMailslotRefusedName;

  std::string from, to, text, path;
  if (!ToAnsi(message.From, from) || !ToAnsi(message.To, to) || !ToAnsi(message.Text, text) ||
      !ToAnsi(MailslotPath(message.To, slotName), path)) {
    return kMailslotUnconvertible;
  }
  std::string datagram = AssembleDatagram(from, to, text);
  if (datagram.size() > kMaxDatagramBytes) return kMailslotFailed;

  FileHandle slot(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!slot.Valid()) {
    error = GetLastError();
    return kMailslotFailed;
  }
  DWORD written = 0;
  if (!WriteFile(slot.Get(), datagram.data(), static_cast<DWORD>(datagram.size()), &written,
                 nullptr)) {
    error = GetLastError();
    return kMailslotFailed;
  }
  return written == datagram.size() ? kMailslotSent : kMailslotShortWrite;
}

}  // namespace parvox
