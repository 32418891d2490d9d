// Whether bytes are well-formed UTF-8, for text that crosses between computers and programs.
#pragma once

#include <string_view>

namespace parvox {

// Well-formed UTF-8: no overlong form, no surrogate, nothing above U+10FFFF.
bool IsUtf8(std::string_view text);

}  // namespace parvox
