// The texts shown for a received message.
#include "receiving/ReceivedText.h"

#include "components/VisibleText.h"

namespace parvox {

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

std::wstring HeldByRelayNote(std::wstring_view sentTime, int64_t heldSeconds) {
  if (heldSeconds < 60) return {};
  auto count = [](int64_t n, const wchar_t* unit) {
    return std::to_wstring(n) + L" " + unit + (n == 1 ? L"" : L"s");
  };
  int64_t minutes = heldSeconds / 60, hours = minutes / 60;
  std::wstring held = hours == 0   ? count(minutes, L"minute")
                      : hours < 48 ? count(hours, L"hour")
                                   : count(hours / 24, L"day");
  return L"Sent at " + std::wstring(sentTime) + L", held by the relay for " + held + L".";
}

}  // namespace parvox
