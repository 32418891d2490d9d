// Base64 and fingerprints.
#include "identity/KeyText.h"

#include <cstdint>

namespace parvox {
namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr wchar_t kFingerprintAlphabet[] = L"23456789ABCDEFGHJKLMNPQRSTUVWXYZ";

int Base64Value(char c) {
  for (int value = 0; value < 64; ++value) {
    if (kBase64[value] == c) return value;
  }
  return -1;
}

}  // namespace

std::string EncodeBase64(std::string_view bytes) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t group = static_cast<uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) group |= static_cast<uint8_t>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) group |= static_cast<uint8_t>(bytes[i + 2]);
    for (size_t k = 0; k < 4; ++k) {
      text.push_back(k <= bytes.size() - i ? kBase64[group >> (18 - 6 * k) & 63] : '=');
    }
  }
  return text;
}

std::optional<std::string> DecodeBase64(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::string bytes;
  for (size_t i = 0; i < text.size(); i += 4) {
    bool last = i + 4 == text.size();
    size_t padding = last ? (text[i + 3] == '=') + (text[i + 2] == '=' && text[i + 3] == '=') : 0;
    uint32_t group = 0;
    for (size_t k = 0; k < 4; ++k) {
      int value = k < 4 - padding ? Base64Value(text[i + k]) : 0;
      if (value < 0) return std::nullopt;
      group = group << 6 | static_cast<uint32_t>(value);
    }
    // Bits the padding leaves over must be zero, so that each key has one spelling.
    if ((padding == 1 && (group & 0xFF)) || (padding == 2 && (group & 0xFFFF))) return std::nullopt;
    for (size_t k = 0; k < 3 - padding; ++k)
      bytes.push_back(static_cast<char>(group >> (16 - 8 * k)));
  }
  return bytes;
}

std::wstring FingerprintText(std::string_view digest) {
  if (digest.size() < 10) return {};
  std::wstring text;
  uint32_t bits = 0;
  int held = 0;
  for (size_t i = 0; i < 10; ++i) {
    bits = bits << 8 | static_cast<uint8_t>(digest[i]);
    for (held += 8; held >= 5; held -= 5) {
      if (text.size() % 5 == 4) text.push_back(L'-');
      text.push_back(kFingerprintAlphabet[bits >> (held - 5) & 31]);
    }
  }
  return text;
}

}  // namespace parvox
