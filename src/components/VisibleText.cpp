// Which characters may be shown as they are.
#include "components/VisibleText.h"

#include <algorithm>
#include <cstdint>

namespace parvox {
namespace {

struct Range {
  char32_t first, last;
};
// The format characters (general category Cf) of Unicode 15, and the line and paragraph
// separators.
constexpr Range kFormatCharacters[] = {
    {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},
    {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},
    {0x200B, 0x200F},   {0x2028, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},
    {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
    {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
    {0xE0020, 0xE007F},
};

bool IsHidden(char32_t c) {
  if (c == U'\t') return false;
  if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F)) return true;
  return std::any_of(std::begin(kFormatCharacters), std::end(kFormatCharacters),
                     [&](const Range& range) { return c >= range.first && c <= range.last; });
}

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Copies `text` with hidden characters as "?" and each line break replaced by `lineBreak`.
std::wstring VisibleText(std::wstring_view text, std::wstring_view lineBreak) {
  std::wstring result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'\r' || c == L'\n') {
      if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
      result.append(lineBreak);
      continue;
    }
    // wchar_t is UTF-16 on Windows and UTF-32 elsewhere: both spell the same characters.
    char32_t code = static_cast<char32_t>(static_cast<std::uint32_t>(c) & 0x1FFFFF);
    size_t units = 1;
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      units = 2;
    }
    if (IsHidden(code)) {
      result.push_back(L'?');
    } else {
      result.append(text.substr(i, units));
    }
    i += units - 1;
  }
  return result;
}

}  // namespace

std::wstring PlainText(std::wstring_view text) { return VisibleText(text, L"\r\n"); }

std::wstring SingleLineText(std::wstring_view text) { return VisibleText(text, L" \u00B6 "); }

std::wstring ShownName(std::wstring_view name) {
  std::wstring line = SingleLineText(name);
  if (line.size() <= kMaxShownNameChars) return line;
  size_t cut = kMaxShownNameChars;
  if (IsLowSurrogate(line[cut])) --cut;  // never half a character
  return line.substr(0, cut) + L"...";
}

}  // namespace parvox
