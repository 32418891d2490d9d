// Conversions of stored option and count texts.
#include <gtest/gtest.h>

#include <limits>
#include <optional>

#include "components/NumericText.h"

namespace parvox {
namespace {

TEST(NumericText, LeadingNumber) {
  struct Case {
    std::wstring text;
    double value;
  } cases[] = {
      {L"2", 2},  {L"abc", 0},    {L"", 0},         {L"  42abc", 42}, {L"\t-3", -3},
      {L"+7", 7}, {L"1.5", 1.5},  {L"2.5e2x", 250}, {L"1e", 1},       {L".5", 0.5},
      {L"-", 0},  {L"12 34", 12}, {L"1e-999", 0},   {L"0.0000", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.text.begin(), c.text.end()));
    EXPECT_DOUBLE_EQ(LeadingNumber(c.text), c.value);
  }
  EXPECT_EQ(LeadingNumber(L"1e999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(LeadingNumber(L"-" + std::wstring(400, L'9')),
            -std::numeric_limits<double>::infinity());
}

TEST(NumericText, OptionFlags) {
  EXPECT_TRUE(LeadingNumberFlag(L"2"));
  EXPECT_TRUE(LeadingNumberFlag(L"1"));
  EXPECT_FALSE(LeadingNumberFlag(L"abc"));
  EXPECT_FALSE(LeadingNumberFlag(L""));  // a present but empty key is off, not the default
  EXPECT_FALSE(LeadingNumberFlag(L"0"));
  EXPECT_TRUE(LeadingNumberFlag(L"0.5"));
}

TEST(NumericText, BooleanConversion) {
  for (const wchar_t* on : {L"True", L"true", L"TRUE", L"1", L"-1", L" 1 ", L"2.5"}) {
    SCOPED_TRACE(testing::Message() << std::wstring(on).size());
    EXPECT_TRUE(BooleanText(on));
  }
  for (const wchar_t* off : {L"0", L"False", L"false", L"", L"yes", L"1x", L"truex", L"0.0"}) {
    EXPECT_FALSE(BooleanText(off));
  }
}

TEST(NumericText, RoundsHalvesToEven) {
  EXPECT_EQ(RoundHalfEvenClamped(2.5, 0, 100), 2);
  EXPECT_EQ(RoundHalfEvenClamped(3.5, 0, 100), 4);
  EXPECT_EQ(RoundHalfEvenClamped(2.4999, 0, 100), 2);
  EXPECT_EQ(RoundHalfEvenClamped(0.5, 0, 100), 0);
  EXPECT_EQ(RoundHalfEvenClamped(-5, 0, 100), 0);
  EXPECT_EQ(RoundHalfEvenClamped(2e9, 0, 100), 100);
  EXPECT_EQ(RoundHalfEvenClamped(std::numeric_limits<double>::infinity(), 0, 7), 7);
  EXPECT_EQ(RoundHalfEvenClamped(std::numeric_limits<double>::quiet_NaN(), 0, 7), 0);
}

TEST(NumericText, StrictDecimal) {
  struct Case {
    std::wstring text;
    size_t maxDigits;
    uint32_t max;
    std::optional<uint32_t> value;
  } cases[] = {
      {L"0", 3, 600, 0},
      {L"600", 3, 600, 600},
      {L"601", 3, 600, std::nullopt},   // the value limit is inclusive
      {L"007", 3, 600, 7},              // leading zeros are the callers' call
      {L"0600", 3, 600, std::nullopt},  // too many digits, whatever their value
      {L"", 3, 600, std::nullopt},
      {L"+5", 3, 600, std::nullopt},
      {L" 5", 3, 600, std::nullopt},
      {L"1e2", 3, 600, std::nullopt},
      {L"\x0665", 3, 600, std::nullopt},  // a non-ASCII digit
      {L"65535", 5, 65535, 65535},
      {L"4294967296", 20, 4294967295u, std::nullopt},  // beyond 32 bits is not wrapped
      {L"99999999999999999999", 20, 100, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.text.begin(), c.text.end()));
    EXPECT_EQ(StrictDecimal(c.text, c.maxDigits, c.max), c.value);
  }
}

TEST(NumericText, ZeroPadding) {
  EXPECT_EQ(ZeroPadded(1, 5), L"00001");
  EXPECT_EQ(ZeroPadded(42, 5), L"00042");
  EXPECT_EQ(ZeroPadded(100000, 5), L"100000");
  EXPECT_EQ(ZeroPadded(60, 2), L"60");
}

}  // namespace
}  // namespace parvox
