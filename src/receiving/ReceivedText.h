// How received bytes become the texts of the pop-up and the log: the classic datagram's fields,
// the header and the log line.
#pragma once

#include <string>
#include <string_view>

namespace parvox {

// The three fields of a classic datagram (From NUL To NUL Text NUL NUL), as views into it. Each
// field ends at a NUL or at the end of the bytes; missing fields are empty and whatever follows
// the third NUL is ignored. Nothing inside the data is taken for a length.
struct DatagramFields {
  std::string_view from;
  std::string_view to;
  std::string_view text;
};
DatagramFields SplitMessengerDatagram(std::string_view datagram);

// "Message from FROM to TO on DATE at TIME", with the date and time already formatted.
std::wstring ReceivedHeader(std::wstring_view from, std::wstring_view to, std::wstring_view date,
                            std::wstring_view time);
// The log's line for a message: the header, ": " and the text on one line. A text over
// kMaxLoggedChars is cut there and says how long it was, so a flood of long messages cannot
// grow the log without bound while every message still gets its line.
inline constexpr size_t kMaxLoggedChars = 2000;
std::wstring ReceivedLogLine(std::wstring_view header, std::wstring_view text);

}  // namespace parvox
