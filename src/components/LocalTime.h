// Times on the wire (seconds since 1970, UTC) as this computer's clock and the user's locale
// show them.
#pragma once

#include <cstdint>
#include <string>

namespace parvox {

// "09:14", or "3/14/2026 09:14" for a time on another day than today.
std::wstring LocalTimeText(uint64_t secondsSince1970);

}  // namespace parvox
