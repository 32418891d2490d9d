// The UTF-8 check, byte by byte.
#include "components/Utf8Text.h"

#include <cstddef>
#include <cstdint>

namespace parvox {

bool IsUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    uint8_t lead = static_cast<uint8_t>(text[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || i + length > text.size()) return false;
    uint32_t code = lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      uint8_t next = static_cast<uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    if (overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

}  // namespace parvox
