// Conversion between the program's wide text and the ANSI code page, used only where text
// leaves the program: the settings file, the registry, the datagram and the NET parameters.
#pragma once

#include <string>
#include <string_view>

namespace parvox {

std::string ToAnsi(std::wstring_view text);  // unmappable characters become the default char
std::wstring FromAnsi(std::string_view bytes);

}  // namespace parvox
