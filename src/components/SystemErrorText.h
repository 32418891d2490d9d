// The platform's own description of an error code.
#pragma once

#include <windows.h>

#include <string>

namespace parvox {

// FormatMessageW's text for `code` without its trailing line break; empty when it has none.
std::wstring SystemErrorText(DWORD code);

}  // namespace parvox
