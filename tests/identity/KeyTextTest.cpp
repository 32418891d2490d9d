// Key texts: base64 as RFC 4648 spells it (one spelling per key) and the fingerprint groups.
#include <gtest/gtest.h>

#include "identity/KeyText.h"

namespace parvox {
namespace {

TEST(KeyText, Base64HasOneSpellingPerKey) {
  const std::pair<std::string, std::string> vectors[] = {
      {"", ""},        {"f", "Zg=="},          {"fo", "Zm8="},
      {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"}, {std::string("\x00\xFF\xFE", 3), "AP/+"}};
  for (const auto& [bytes, text] : vectors) {
    SCOPED_TRACE(text);
    EXPECT_EQ(EncodeBase64(bytes), text);
    EXPECT_EQ(DecodeBase64(text), bytes);
  }
  for (const char* bad :
       {"Zg=", "Zh==", "Zm9=", "Z===", "Zm9v\n", " Zm9v", "Zg==Zg==", "Zm-v", "Zm_v", "===="}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(DecodeBase64(bad));
  }
}

TEST(KeyText, FingerprintIsEightyBitsInFourGroups) {
  EXPECT_EQ(FingerprintText(std::string(32, '\0')), L"2222-2222-2222-2222");
  EXPECT_EQ(FingerprintText(std::string(10, '\xFF')), L"ZZZZ-ZZZZ-ZZZZ-ZZZZ");
  EXPECT_EQ(FingerprintText("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A"), L"2632-8327-2S5J-J4AC");
  EXPECT_EQ(FingerprintText("short"), L"");
}

}  // namespace
}  // namespace parvox
