// Mailslot writes through the file API, one open, write and close per recipient.
#include "sending/MailslotSender.h"

#include <windows.h>

#include <iterator>

#include "components/AnsiText.h"
#include "components/UniqueHandle.h"
#include "sending/SendText.h"

namespace parvox {

std::wstring GetCurrentUserName() {
  char buffer[255];
  DWORD length = sizeof buffer;
  if (!GetUserNameA(buffer, &length) || length == 0) return std::wstring();
  std::wstring name;
  FromAnsi(std::string_view(buffer, length - 1), name);  // empty when it cannot be converted
  return name;
}

std::wstring GetThisComputerName() {
  wchar_t buffer[256];
  DWORD length = static_cast<DWORD>(std::size(buffer));
  if (!GetComputerNameExW(ComputerNameNetBIOS, buffer, &length)) return std::wstring();
  return std::wstring(buffer, length);
}

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
