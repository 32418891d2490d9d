// Text from a stranger made safe to show: control and format characters cannot act, line breaks
// are as a text box shows them, and names have a length that fits on a line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace parvox {

// Every control character except CR, LF and TAB, every format character (bidirectional marks
// and overrides among them, which would reorder what follows) and the line and paragraph
// separators become "?"; each line break (CR LF, a lone CR or a lone LF) becomes CR LF, as a
// multi-line text box shows it.
std::wstring PlainText(std::wstring_view text);
// One line: characters as in PlainText and every line break shown as " ¶ ".
std::wstring SingleLineText(std::wstring_view text);

// A name (From, To, a receipt's computer or user) as the log, a caption or a header shows it:
// one line, at most kMaxShownNameChars characters and then "...".
inline constexpr size_t kMaxShownNameChars = 256;
std::wstring ShownName(std::wstring_view name);

}  // namespace parvox
