// The program's version and the texts built from it.
#pragma once

#include <string>

namespace parvox {

inline constexpr int kVersionMajor = 0;
inline constexpr int kVersionMinor = 60;
inline constexpr int kVersionRevision = 5;

// "v0.60": the major number, then the minor number with at least two digits.
std::wstring VersionText();
// "Parvox v0.60": the window caption and the notification-area tip.
std::wstring AppTitle();
// The About box: "Program Version: 0.60", CR LF, the compile date line.
std::wstring AboutText();

}  // namespace parvox
