// Our settings engine against the platform's profile functions on the same files: ours reads
// what they read, and they read what ours writes.
#include <gtest/gtest.h>
#include <windows.h>

#include "components/AnsiText.h"
#include "settings/SettingsFile.h"
#include "support/TempFolder.h"

namespace parvox {
namespace {

constexpr char kDefault[] = "<default>";

std::string PlatformRead(const std::wstring& file, const std::string& section,
                         const std::string& key) {
  std::string buffer(70000, '\0');
  DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), kDefault, buffer.data(),
                                          static_cast<DWORD>(buffer.size()), ToAnsi(file).c_str());
  return buffer.substr(0, length);
}

std::wstring Wide(const std::string& bytes) {
  std::wstring text;
  EXPECT_TRUE(FromAnsi(bytes, text));
  return text;
}

std::string OurRead(const std::wstring& file, const std::string& section, const std::string& key) {
  return ToAnsi(ReadIniValue(Wide(section), Wide(key), Wide(kDefault), file));
}

struct CompatCase {
  const char* name;
  std::string bytes, section, key, windows;
  // Where Wine's profile functions differ from Windows; ours must still match Windows.
  bool wineDiffers = false;
};

TEST(IniCompat, OursReadsWhatWindowsReads) {
  const std::string kValues = "[s]\r\nname1=val1\r\nname2=\r\nname3\r\nname4=val4\r\n";
  const CompatCase cases[] = {
      {"case", "[Sec]\r\nKey=v\r\n", "sEC", "KEY", "v"},
      {"blank argument", "[Sec]\r\nKey=v\r\n", " Sec ", "Key", "v"},
      {"blanks in file", "[ x ]\r\n \tk\v=\t v \r\n", "x", "k", "v"},
      {"double quotes", "[s]\r\na=\"  q  \"\r\n", "s", "a", "  q  "},
      {"single quotes", "[s]\r\nb='r'\r\n", "s", "b", "r"},
      {"mismatched quotes", "[s]\r\nc=\"m'\r\n", "s", "c", "\"m'"},
      {"nested quotes", "[s]\r\nd='\"z\"'\r\n", "s", "d", "\"z\""},
      {"empty value", kValues, "s", "name2", ""},
      {"no equals", kValues, "s", "name3", kDefault},
      {"plain", kValues, "s", "name4", "val4"},
      {"comment", "[s]\r\n;k=1\r\n \t;j=2\r\nk2=;x\r\n#h=1\r\n", "s", "k", kDefault},
      {"indented comment", "[s]\r\n;k=1\r\n \t;j=2\r\nk2=;x\r\n#h=1\r\n", "s", "j", kDefault},
      {"semicolon value", "[s]\r\n;k=1\r\n \t;j=2\r\nk2=;x\r\n#h=1\r\n", "s", "k2", ";x"},
      {"hash key", "[s]\r\n;k=1\r\n \t;j=2\r\nk2=;x\r\n#h=1\r\n", "s", "#h", "1"},
      {"first duplicate key", "[s]\r\nk=1\r\nk=2\r\n[t]\r\n[s]\r\nj=3\r\n", "s", "k", "1"},
      {"second section of a name", "[s]\r\nk=1\r\nk=2\r\n[t]\r\n[s]\r\nj=3\r\n", "s", "j",
       kDefault},
      {"LF only", "[s]\nname1=val1\nname2=\nname3\nname4=val4\n", "s", "name4", "val4"},
      {"CR only", "[s]\rname1=val1\rname2=\rname3\rname4=val4\r", "s", "name4", "val4"},
      {"no final newline", "[s]\r\nname4=val4", "s", "name4", "val4"},
      {"text after ]", "[s]k=1\r\n[c  \r\nk=2\r\n", "s", "k", kDefault, true},
      {"missing ]", "[s]k=1\r\n[c  \r\nk=2\r\n", "c", "k", "2", true},
      {"utf-8 bom", "\xEF\xBB\xBF[s]\r\nk=v\r\n[t]\r\nk=w\r\n", "s", "k", kDefault, true},
      {"after utf-8 bom", "\xEF\xBB\xBF[s]\r\nk=v\r\n[t]\r\nk=w\r\n", "t", "k", "w"},
      {"ansi text", "[s]\r\nk=caf\xE9\r\n", "s", "k", "caf\xE9"},
      {"missing section", "[s]\r\nk=v\r\n", "other", "k", kDefault},
  };
  test::TempFolder folder;
  int index = 0;
  for (const CompatCase& c : cases) {
    SCOPED_TRACE(c.name);
    // A new file per case: the platform caches the last profile file it read.
    std::wstring file = folder.File(L"case" + std::to_wstring(++index) + L".ini");
    test::WriteBytes(file, c.bytes);
    EXPECT_EQ(OurRead(file, c.section, c.key), c.windows);
    if (c.wineDiffers) continue;  // Wine's own reader differs from Windows here (see INI notes)
    EXPECT_EQ(PlatformRead(file, c.section, c.key), c.windows);
  }
}

TEST(IniCompat, MissingFileGivesDefaultAndStaysMissing) {
  test::TempFolder folder;
  std::wstring file = folder.File(L"absent.ini");
  EXPECT_EQ(OurRead(file, "Settings", "Escape Minimises"), kDefault);
  EXPECT_FALSE(test::FileExists(file));
}

TEST(IniCompat, PlatformReadsWhatOursWrites) {
  test::TempFolder folder;
  std::wstring file = folder.File(L"Address Book.ini");
  const std::string values[] = {"plain", " edge blanks ", "\"quoted\"", "'single'", "in\"side",
                                "",      "a=b|c",         "caf\xE9",    "\t tab"};
  int i = 0;
  for (const std::string& value : values) {
    WriteIniValue(L"Settings", L"Key" + std::to_wstring(++i), Wide(value), file);
  }
  i = 0;
  for (const std::string& value : values) {
    SCOPED_TRACE(value);
    std::string key = "key" + std::to_string(++i);
    EXPECT_EQ(PlatformRead(file, "SETTINGS", key), value);
    EXPECT_EQ(OurRead(file, "settings", key), value);
  }
}

TEST(IniCompat, OursReadsWhatThePlatformWrites) {
  test::TempFolder folder;
  std::wstring file = folder.File(L"platform.ini");
  std::string ansiFile = ToAnsi(file);
  WritePrivateProfileStringA("Settings", "Start Minimised", "1", ansiFile.c_str());
  WritePrivateProfileStringA("Addresses", "Address[00001]", "ADDRESS=pc1|DESCRIPTION=a=b|TYPE=0",
                             ansiFile.c_str());
  WritePrivateProfileStringA("Settings", "Start Minimised", "0", ansiFile.c_str());
  EXPECT_EQ(OurRead(file, "settings", "start minimised"), "0");
  EXPECT_EQ(OurRead(file, "Addresses", "Address[00001]"), "ADDRESS=pc1|DESCRIPTION=a=b|TYPE=0");
}

TEST(IniCompat, WritesCreateExactLayoutAndKeepForeignLines) {
  test::TempFolder folder;
  std::wstring file = folder.File(L"layout.ini");
  WriteIniValue(L"S", L"k", L"v", file);
  EXPECT_EQ(test::ReadBytes(file), "[S]\r\nk=v\r\n");
  test::WriteBytes(file, "; user comment\n[App1]\nkey1=string1\njunk line\n[Other]\nx=1");
  WriteIniValue(L"app1", L"KEY1", L"new", file);
  WriteIniValue(L"App2", L"key4", L"string4", file);
  EXPECT_EQ(test::ReadBytes(file),
            "; user comment\r\n[App1]\r\nkey1=new\r\njunk "
            "line\r\n[Other]\r\nx=1\r\n[App2]\r\nkey4=string4\r\n");
}

}  // namespace
}  // namespace parvox
