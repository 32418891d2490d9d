// The Run value in the real (Wine) registry.
#include "settings/Registry.h"

#include <gtest/gtest.h>

namespace parvox {
namespace {

constexpr wchar_t kTestValue[] = L"ParvoxTest";

bool ReadRunValue(std::wstring& data) {
  wchar_t buffer[1024];
  DWORD size = sizeof buffer;
  DWORD type = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, kRunKeyPath, kTestValue, RRF_RT_ANY, &type, buffer, &size) != ERROR_SUCCESS) {
    return false;
  }
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  data = buffer;
  return true;
}

TEST(Registry, RunValueIsQuotedReplacedAndRemoved) {
  RemoveRunValue(kTestValue);
  SetRunValue(kTestValue, L"C:\\Program Files\\Parvox\\parvox.exe");
  std::wstring data;
  ASSERT_TRUE(ReadRunValue(data));
  EXPECT_EQ(data, L"\"C:\\Program Files\\Parvox\\parvox.exe\"");

  SetRunValue(kTestValue, L"D:\\caf\u00e9\\parvox.exe");
  ASSERT_TRUE(ReadRunValue(data));
  EXPECT_EQ(data, L"\"D:\\caf\u00e9\\parvox.exe\"");

  // Folders the ANSI code page (1252 here) cannot spell.
  const std::wstring beyondAnsi = L"C:\\Users\\\u0141ukasz\\\u041f\u0451\u0442\u0440\\parvox.exe";
  SetRunValue(kTestValue, beyondAnsi);
  ASSERT_TRUE(ReadRunValue(data));
  EXPECT_EQ(data, L"\"" + beyondAnsi + L"\"");

  RemoveRunValue(kTestValue);
  EXPECT_FALSE(ReadRunValue(data));
  RemoveRunValue(kTestValue);  // a second removal does nothing
  EXPECT_FALSE(ReadRunValue(data));
}

TEST(Registry, SetRegistryStringCreatesTheKey) {
  const std::wstring subKey = L"Software\\ParvoxTest\\Nested";
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\ParvoxTest");
  SetRegistryString(HKEY_CURRENT_USER, subKey, L"Name", L"value");
  wchar_t buffer[64];
  DWORD size = sizeof buffer;
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, subKey.c_str(), L"Name", RRF_RT_REG_SZ, nullptr, buffer, &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(buffer, L"value");
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\ParvoxTest");
}

}  // namespace
}  // namespace parvox
