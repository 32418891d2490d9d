// Conversions of stored setting and typed texts into numbers and flags.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace parvox {

// Value of the leading decimal number of `text` (leading blanks skipped, optional sign,
// fraction and exponent); 0 when the text does not start with a number.
double LeadingNumber(const std::wstring& text);

// True when the leading number is not zero ("2" is on, "abc" is off).
bool LeadingNumberFlag(const std::wstring& text);

// Boolean conversion: a whole number text is true when not zero; "True"/"False" in any case;
// any other text is false.
bool BooleanText(const std::wstring& text);

// Nearest integer, halves to the even neighbour, clamped into [lowest, highest].
long long RoundHalfEvenClamped(double value, long long lowest, long long highest);

// Value of `text` when it is nothing but 1 to `maxDigits` decimal digits (no sign, no blanks;
// leading zeros allowed) and at most `max`; no value otherwise.
std::optional<uint32_t> StrictDecimal(std::wstring_view text, size_t maxDigits, uint32_t max);

// Decimal text of a non-negative index padded with zeros to at least `width` digits.
std::wstring ZeroPadded(unsigned long long value, size_t width);

}  // namespace parvox
