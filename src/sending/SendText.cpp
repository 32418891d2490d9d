// Parameter and datagram builders of the send paths.
#include "sending/SendText.h"

namespace parvox {

std::wstring NetSendParameters(const std::wstring& address, const std::wstring& type,
                               const std::wstring& message) {
  if (type == L"0") return L"SEND \"" + address + L"\" " + message;
  return L"SEND /domain:" + address + L" " + message;
}

std::wstring MailslotPath(const std::wstring& to, const std::wstring& slot) {
  return L"\\\\" + to + L"\\mailslot\\" + slot;
}

std::string AssembleDatagram(std::string_view from, std::string_view to, std::string_view text) {
  std::string datagram;
  datagram.reserve(from.size() + to.size() + text.size() + 4);
  datagram.append(from).push_back('\0');
  datagram.append(to).push_back('\0');
  datagram.append(text).push_back('\0');
  datagram.push_back('\0');
  return datagram;
}

}  // namespace parvox
