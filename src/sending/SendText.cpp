// Parameter and datagram builders of the send paths.
#include "sending/SendText.h"

#include <algorithm>

namespace parvox {

std::wstring NetSendParameters(const std::wstring& address, bool domain,
                               const std::wstring& message) {
  if (!domain) return L"SEND \"" + address + L"\" " + message;
  return L"SEND /domain:" + address + L" " + message;
}

std::wstring MailslotPath(const std::wstring& to, const std::wstring& slot) {
  return L"\\\\" + to + L"\\mailslot\\" + slot;
}

bool IsMailslotTargetName(std::wstring_view name) {
  if (name == L"*" || name == L".") return true;
  if (name.empty() || name.size() > 255 || name.front() == L'.') return false;
  return std::all_of(name.begin(), name.end(), [](wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
           c == L'-' || c == L'_' || c == L'.';
  });
}

std::wstring NoMailslotReason(const std::wstring& address) {
  return L"The name " + address + L" cannot receive mailslot messages.";
}

bool IsBroadcastRecipient(const std::wstring& address, bool domain) {
  return domain || address == L"*" || address.empty();
}

std::wstring SendFailureReason(unsigned long errorCode, std::wstring systemText) {
  const std::wstring code = L" (error " + std::to_wstring(errorCode) + L").";
  switch (errorCode) {
    case 0:
      return std::wstring();
    case 3025:  // remote mailslots off, the default since Windows 11 24H2
      return L"Remote mailslots are turned off on this computer" + code +
             L" The policy \"Enable remote mailslots\" turns them back on.";
    case 53:  // ERROR_BAD_NETPATH
      return L"The network path was not found" + code;
    case 5:  // ERROR_ACCESS_DENIED
      return L"Access was denied" + code;
    default:
      break;
  }
  while (!systemText.empty() && (systemText.back() == L'.' || systemText.back() <= L' '))
    systemText.pop_back();
  if (systemText.empty()) return L"Error " + std::to_wstring(errorCode) + L".";
  return systemText + code;
}

std::wstring SendErrorLine(const std::wstring& address, const std::wstring& reason) {
  return L"Error sending message to " + address + L". " + reason;
}

std::wstring TooLongReason(const std::wstring& path, size_t size, const std::wstring& unit,
                           size_t limit) {
  return L"The message is too long for " + path + L" (" + std::to_wstring(size) + L" " + unit +
         L"; at most " + std::to_wstring(limit) + L").";
}

}  // namespace parvox
