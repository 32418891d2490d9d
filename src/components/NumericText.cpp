// Locale-independent number parsing for settings texts.
#include "components/NumericText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cwctype>
#include <limits>

namespace parvox {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Length of the number that starts at `begin`, 0 when none does.
size_t NumberLength(const std::wstring& text, size_t begin) {
  size_t i = begin;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) ++i;
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == L'.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == L'+' || text[j] == L'-')) ++j;
    if (j < text.size() && IsDigit(text[j])) {
      while (j < text.size() && IsDigit(text[j])) ++j;
      i = j;
    }
  }
  return i - begin;
}

double ParseNumber(const std::wstring& text, size_t begin, size_t length) {
  std::string narrow(text.begin() + begin, text.begin() + begin + length);
  const char* first = narrow.data();
  if (*first == '+') ++first;  // from_chars takes no plus sign
  double value = 0;
  std::errc error = std::from_chars(first, narrow.data() + narrow.size(), value).ec;
  if (error == std::errc::result_out_of_range) {
    // Beyond a double: underflow reads as 0, overflow as an infinity of the right sign.
    size_t exponent = narrow.find_first_of("eE");
    size_t point = narrow.find('.');
    std::string wholePart = narrow.substr(0, std::min(point, exponent));
    bool tiny = (exponent != std::string::npos && narrow[exponent + 1] == '-') ||
                wholePart.find_first_not_of("+-0") == std::string::npos;
    if (tiny) return 0.0;
    double infinity = std::numeric_limits<double>::infinity();
    return narrow[0] == '-' ? -infinity : infinity;
  }
  return value;
}

bool EqualsIgnoringCase(const std::wstring& text, const wchar_t* word) {
  size_t i = 0;
  for (; word[i] != 0; ++i) {
    if (i >= text.size() || static_cast<wchar_t>(std::towlower(text[i])) != word[i]) return false;
  }
  return i == text.size();
}

}  // namespace

double LeadingNumber(const std::wstring& text) {
  size_t begin = 0;
  while (begin < text.size() && IsBlank(text[begin])) ++begin;
  size_t length = NumberLength(text, begin);
  return length == 0 ? 0.0 : ParseNumber(text, begin, length);
}

bool LeadingNumberFlag(const std::wstring& text) { return LeadingNumber(text) != 0.0; }

bool BooleanText(const std::wstring& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  std::wstring word = text.substr(begin, end - begin);
  if (EqualsIgnoringCase(word, L"true")) return true;
  if (EqualsIgnoringCase(word, L"false")) return false;
  size_t length = NumberLength(word, 0);
  if (length == 0 || length != word.size()) return false;
  return ParseNumber(word, 0, length) != 0.0;
}

long long RoundHalfEvenClamped(double value, long long lowest, long long highest) {
  if (std::isnan(value)) return lowest;
  if (value <= static_cast<double>(lowest)) return lowest;
  if (value >= static_cast<double>(highest)) return highest;
  double whole = std::floor(value);
  double fraction = value - whole;
  long long result = static_cast<long long>(whole);
  if (fraction > 0.5 || (fraction == 0.5 && (result % 2 != 0))) ++result;
  return result < lowest ? lowest : (result > highest ? highest : result);
}

std::optional<uint32_t> StrictDecimal(std::wstring_view text, size_t maxDigits, uint32_t max) {
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  uint64_t value = 0;
  for (wchar_t c : text) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - L'0');
    if (value > max) return std::nullopt;  // checked per digit, so no length can overflow
  }
  return static_cast<uint32_t>(value);
}

std::wstring ZeroPadded(unsigned long long value, size_t width) {
  std::wstring digits = std::to_wstring(value);
  if (digits.size() < width) digits.insert(0, width - digits.size(), L'0');
  return digits;
}

}  // namespace parvox
