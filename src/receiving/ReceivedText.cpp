// Datagram fields and the texts shown for a received message.
#include "receiving/ReceivedText.h"

namespace parvox {
namespace {

std::string_view NextField(std::string_view& rest) {
  size_t end = rest.find('\0');
  std::string_view field = rest.substr(0, end);
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  return field;
}

bool IsHiddenControl(wchar_t c) {
  if (c == L'\t') return false;
  return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F);
}

// Copies `text` with control characters as "?" and each line break replaced by `lineBreak`.
std::wstring VisibleText(std::wstring_view text, std::wstring_view lineBreak) {
  std::wstring result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'\r' || c == L'\n') {
      if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
      result.append(lineBreak);
    } else {
      result.push_back(IsHiddenControl(c) ? L'?' : c);
    }
  }
  return result;
}

}  // namespace

DatagramFields SplitMessengerDatagram(std::string_view datagram) {
  DatagramFields fields;
  fields.from = NextField(datagram);
  fields.to = NextField(datagram);
  fields.text = NextField(datagram);
  return fields;
}

std::wstring PlainText(std::wstring_view text) { return VisibleText(text, L"\r\n"); }

std::wstring SingleLineText(std::wstring_view text) { return VisibleText(text, L" \u00B6 "); }

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
