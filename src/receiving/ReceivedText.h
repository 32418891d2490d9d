// The texts of a received message in the pop-up and the log: the header and the log line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace parvox {

// "Message from FROM to TO on DATE at TIME", with the date and time already formatted.
std::wstring ReceivedHeader(std::wstring_view from, std::wstring_view to, std::wstring_view date,
                            std::wstring_view time);
// The log's line for a message: the header, ": " and the text on one line. A text over
// kMaxLoggedChars is cut there and says how long it was, so a flood of long messages cannot
// grow the log without bound while every message still gets its line.
inline constexpr size_t kMaxLoggedChars = 2000;
std::wstring ReceivedLogLine(std::wstring_view header, std::wstring_view text);

// What the pop-up adds for a message the relay held while this computer was away: "Sent at
// TIME, held by the relay for 2 hours." Nothing for one that took less than a minute.
std::wstring HeldByRelayNote(std::wstring_view sentTime, int64_t heldSeconds);

}  // namespace parvox
