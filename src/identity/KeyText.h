// Public keys as people pass them around: base64 in a settings line or the registry, and a
// fingerprint short enough to read aloud over the phone.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace parvox {

std::string EncodeBase64(std::string_view bytes);
// Strict: the standard alphabet, padded, nothing else (no blanks, no line breaks).
std::optional<std::string> DecodeBase64(std::string_view text);

// The first 80 bits of a key's SHA-256 digest in four groups of four characters from an alphabet
// without 0, 1, I and O ("K7QF-2M9D-XW4A-83JT"). Empty for a digest shorter than 10 bytes.
std::wstring FingerprintText(std::string_view digest);

}  // namespace parvox
