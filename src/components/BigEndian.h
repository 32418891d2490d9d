// Unsigned numbers in network byte order, as the datagrams and the files that keep them write
// them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace parvox {

template <typename Number>
void AppendBigEndian(std::string& bytes, Number value) {
  for (int shift = 8 * (sizeof(Number) - 1); shift >= 0; shift -= 8) {
    bytes.push_back(static_cast<char>(value >> shift));
  }
}

// The first sizeof(Number) bytes of `bytes`, which must hold them.
template <typename Number>
Number ReadBigEndian(std::string_view bytes) {
  Number value = 0;
  for (size_t i = 0; i < sizeof(Number); ++i) {
    value = static_cast<Number>(value << 8 | static_cast<uint8_t>(bytes[i]));
  }
  return value;
}

}  // namespace parvox
