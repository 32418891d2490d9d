// Datagram fields and the texts shown for a received message.
#include "receiving/ReceivedText.h"

#include "components/VisibleText.h"

namespace parvox {
namespace {

std::string_view NextField(std::string_view& rest) {
  size_t end = rest.find('\0');
  std::string_view field = rest.substr(0, end);
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  return field;
}

}  // namespace

DatagramFields SplitMessengerDatagram(std::string_view datagram) {
  DatagramFields fields;
  fields.from = NextField(datagram);
  fields.to = NextField(datagram);
  fields.text = NextField(datagram);
  return fields;
}

std::wstring ReceivedHeader(std::wstring_view from, std::wstring_view to, std::wstring_view date,
                            std::wstring_view time) {
  std::wstring header = L"Message from ";
  header.append(from).append(L" to ").append(to).append(L" on ").append(date);
  header.append(L" at ").append(time);
  return header;
}

std::wstring ReceivedLogLine(std::wstring_view header, std::wstring_view text) {
  std::wstring line(header);
  line += L": ";
  if (text.size() <= kMaxLoggedChars) return line + SingleLineText(text);
  line += SingleLineText(text.substr(0, kMaxLoggedChars));
  return line + L" ... (" + std::to_wstring(text.size()) + L" characters in all)";
}

}  // namespace parvox
