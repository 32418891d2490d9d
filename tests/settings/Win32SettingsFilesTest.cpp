// The settings file on the real file system: atomic replacement, refusals, code page.
#include <gtest/gtest.h>
#include <windows.h>

#include <random>
#include <string>

#include "components/AnsiText.h"
#include "settings/SettingsFile.h"
#include "settings/Win32SettingsFiles.h"
#include "support/StartProcess.h"
#include "support/TempFolder.h"

namespace parvox {
namespace {

TEST(SettingsFile, ReadOnlyFileIsLeftAloneWithNoTemporaryFile) {
  test::TempFolder folder;
  std::wstring file = folder.File(L"Address Book.ini");
  test::WriteBytes(file, "[Settings]\r\nStart Minimised=1\r\n");
  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
  WriteIniValue(L"Settings", L"Start Minimised", L"0", file);
  EXPECT_FALSE(ReplaceIniSection(L"Addresses", {{L"Total", L"0"}}, file));
  EXPECT_EQ(test::ReadBytes(file), "[Settings]\r\nStart Minimised=1\r\n");
  EXPECT_EQ(ReadIniValue(L"Settings", L"Start Minimised", L"x", file), L"1");
  EXPECT_EQ(test::CountFiles(folder.Path()), 1);
}

TEST(SettingsFile, MissingFolderFailsQuietly) {
  test::TempFolder folder;
  std::wstring file = folder.File(L"no such folder\\Address Book.ini");
  WriteIniValue(L"Settings", L"k", L"v", file);
  EXPECT_FALSE(test::FileExists(file));
  EXPECT_EQ(test::CountFiles(folder.Path()), 0);
}

TEST(SettingsFile, TextGoesThroughTheAnsiCodePage) {
  ASSERT_EQ(GetACP(), 1252u) << "the tests expect an English (US) Wine locale";
  test::TempFolder folder;
  std::wstring file = folder.File(L"Address Book.ini");
  WriteIniValue(L"Settings", L"Last Selected", L"caf\u00e9|\u20ac|\u4e2d", file);
  // e-acute and the euro sign exist in code page 1252; the CJK character does not.
  EXPECT_EQ(test::ReadBytes(file), "[Settings]\r\nLast Selected=caf\xE9|\x80|?\r\n");
  EXPECT_EQ(ReadIniValue(L"Settings", L"Last Selected", L"", file), L"caf\u00e9|\u20ac|?");
}

TEST(SettingsFile, LookAlikeCharactersDoNotBecomeDelimitersOrQuotes) {
  // Full-width vertical line, quotation mark and backslash, and a fraction slash.
  EXPECT_EQ(ToAnsi(L"a\uFF5Cb\uFF02c\uFF3Cd\u2044e"), "a?b?c?d?e");
  test::TempFolder folder;
  std::wstring file = folder.File(L"Address Book.ini");
  WriteIniValue(L"Addresses", L"Address[00001]", L"ADDRESS=pc|DESCRIPTION=Sales\uFF5CFloor|TYPE=0",
                file);
  EXPECT_EQ(ReadIniValue(L"Addresses", L"Address[00001]", L"", file),
            L"ADDRESS=pc|DESCRIPTION=Sales?Floor|TYPE=0");
}

TEST(SettingsFile, ValuesLongerThanTheOldBufferComeBackWhole) {
  test::TempFolder folder;
  std::wstring file = folder.File(L"Address Book.ini");
  std::wstring record = L"ADDRESS=pc|DESCRIPTION=" + std::wstring(100000, L'd') + L"|TYPE=0";
  WriteIniValue(L"Addresses", L"Address[00001]", record, file);
  test::WriteBytes(folder.File(L"copy.ini"), test::ReadBytes(file));
  EXPECT_EQ(ReadIniValue(L"Addresses", L"Address[00001]", L"", folder.File(L"copy.ini")), record);
}

TEST(SettingsFile, AnotherProgramsChangeIsSeen) {
  test::TempFolder folder;
  std::wstring file = folder.File(L"Address Book.ini");
  WriteIniValue(L"Settings", L"Internal Send", L"0", file);
  EXPECT_EQ(ReadIniValue(L"Settings", L"Internal Send", L"", file), L"0");
  test::WriteBytes(file, "[Settings]\r\nInternal Send=1\r\nEscape Minimises=0\r\n");
  EXPECT_EQ(ReadIniValue(L"Settings", L"Internal Send", L"", file), L"1");
}

TEST(SettingsFile, CodePageOfTheConversion) {
  test::TempFolder folder;
  std::wstring file = folder.File(L"Address Book.ini");
  const std::string original = "[Settings]\r\nLast Selected=caf\xE9\r\n";
  test::WriteBytes(file, original);
  Win32SettingsFiles files;
  {
    SCOPED_TRACE("a conversion the platform refuses writes nothing");
    Win32AnsiCodec failing(12345);  // no such code page
    IniStore store(files, failing);
    EXPECT_FALSE(store.Readable(file));
    EXPECT_FALSE(store.Write(file, L"Settings", L"Last Selected", L"x"));
    EXPECT_EQ(test::ReadBytes(file), original);
    std::string bytes;
    EXPECT_FALSE(failing.Encode(L"x", bytes));
    EXPECT_TRUE(bytes.empty());
  }
  {
    // Windows refuses the no-look-alike flag for UTF-8; every character has its own bytes there.
    SCOPED_TRACE("UTF-8 as the ANSI code page");
    test::WriteBytes(file, "[Settings]\r\nLast Selected=caf\xC3\xA9\r\n");
    Win32AnsiCodec utf8(CP_UTF8);
    IniStore store(files, utf8);
    EXPECT_EQ(store.Read(file, L"Settings", L"Last Selected", L""), L"caf\u00e9");
    EXPECT_TRUE(store.Write(file, L"Settings", L"Last Selected", L"\u4e2d|\uFF5C"));
    EXPECT_EQ(test::ReadBytes(file), "[Settings]\r\nLast Selected=\xE4\xB8\xAD|\xEF\xBD\x9C\r\n");
  }
}

TEST(SettingsFile, LongTextIsConvertedWithoutSplittingACharacter) {
  constexpr size_t kPiece = size_t{1} << 24;  // the conversion's piece size
  struct Case {
    const char* name;
    unsigned codePage;
    std::string character;
    std::wstring wide;
    size_t at;
  } cases[] = {
      // The trail byte 0x9F has a lead byte's value.
      {"double-byte ending the piece", 932, "\x88\x9F", L"\u4E9C", kPiece - 2},
      {"double-byte across the boundary", 932, "\x88\x9F", L"\u4E9C", kPiece - 1},
      {"UTF-8 across the boundary", CP_UTF8, "\xE4\xB8\xAD", L"\u4E2D", kPiece - 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::wstring text;
    ASSERT_TRUE(FromAnsi(std::string(c.at, 'a') + c.character + "b", text, c.codePage));
    ASSERT_EQ(text.size(), c.at + c.wide.size() + 1);
    EXPECT_EQ(text.substr(c.at - 1), L"a" + c.wide + L"b");
  }
}

// The temporary name beside the file is longer than MAX_PATH here. Windows refuses such a name
// without the "\\?\" form; Wine 8 does not, so under Wine this guards the form itself.
TEST(SettingsFile, PathJustShortEnoughToReadAlsoSaves) {
  test::TempFolder folder;
  std::wstring subfolder = folder.Path() + std::wstring(240 - folder.Path().size(), L'd');
  ASSERT_TRUE(CreateDirectoryW(subfolder.c_str(), nullptr));
  std::wstring file =
      subfolder + L"\\" + std::wstring(MAX_PATH - 1 - subfolder.size() - 5, L'n') + L".ini";
  ASSERT_EQ(file.size(), static_cast<size_t>(MAX_PATH - 1));
  test::WriteBytes(file, "[Settings]\r\nInternal Send=1\r\n");
  EXPECT_EQ(ReadIniValue(L"Settings", L"Internal Send", L"", file), L"1");
  EXPECT_TRUE(ReplaceIniSection(L"Addresses", {{L"Total", L"0"}}, file));
  EXPECT_EQ(test::ReadBytes(file), "[Settings]\r\nInternal Send=1\r\n[Addresses]\r\nTotal=0\r\n");
  EXPECT_EQ(test::CountFiles(subfolder + L"\\"), 1);
}

TEST(SettingsFile, StaleTemporaryFilesOfEndedWritersAreRemoved) {
  test::TempFolder folder;
  std::wstring file = folder.File(L"Address Book.ini");
  test::WriteBytes(file, "[Settings]\r\n");
  struct Case {
    std::wstring suffix;
    bool removed;
  } cases[] = {
      {L".~" + std::to_wstring(GetCurrentProcessId()) + L"-977.tmp", true},  // this process's
      {L".~4000000000-3.tmp", true},                                         // no such process
      {L".~4000000000-3.tmp.bak", false},
      {L".~4000000000.tmp", false},
      {L".~x-3.tmp", false},
      {L"x.~4000000000-3.tmp", false},
  };
  for (const Case& c : cases) test::WriteBytes(file + c.suffix, "leftover");
  WriteIniValue(L"Settings", L"Internal Send", L"1", file);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.suffix.begin(), c.suffix.end()));
    EXPECT_NE(test::FileExists(file + c.suffix), c.removed);
  }
  EXPECT_EQ(ReadIniValue(L"Settings", L"Internal Send", L"", file), L"1");
}

TEST(SettingsFile, ReplacingKeepsTheFilesAttributes) {
  test::TempFolder folder;
  std::wstring file = folder.File(L"Address Book.ini");
  test::WriteBytes(file, "[Settings]\r\n");
  constexpr DWORD kHidden = FILE_ATTRIBUTE_HIDDEN;
  SetFileAttributesW(file.c_str(), kHidden);
  if ((GetFileAttributesW(file.c_str()) & kHidden) == 0) {
    GTEST_SKIP() << "this file system keeps no hidden attribute for Wine";
  }
  WriteIniValue(L"Settings", L"Internal Send", L"1", file);
  EXPECT_EQ(test::ReadBytes(file), "[Settings]\r\nInternal Send=1\r\n");
  EXPECT_NE(GetFileAttributesW(file.c_str()) & kHidden, 0u);
}

std::wstring HelperPath() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  return path.substr(0, path.find_last_of(L'\\') + 1) + L"settings_writer_helper.exe";
}

TEST(SettingsFile, KilledWriterLeavesTheOldOrTheNewFile) {
  test::TempFolder folder;
  std::wstring file = folder.File(L"Address Book.ini");
  ReplaceIniSection(L"Addresses", {{L"Total", L"0"}}, file);
  std::mt19937 random(2026);
  for (int round = 0; round < 15; ++round) {
    std::wstring commandLine = L"\"" + HelperPath() + L"\" \"" + file + L"\"";
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(test::StartProcess(nullptr, commandLine, false, nullptr, startup, process));
    Sleep(std::uniform_int_distribution<DWORD>(50, 400)(random));
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    // A fresh copy, so the check reads the bytes on disk rather than a cached parse.
    std::wstring copy = folder.File(L"check" + std::to_wstring(round) + L".ini");
    test::WriteBytes(copy, test::ReadBytes(file));
    IniDocument::KeyValues book = ReadIniDocument(copy).ReadSection(L"Addresses");
    ASSERT_FALSE(book.empty()) << "round " << round;
    int total = std::stoi(book.front().second);
    ASSERT_TRUE(total == 0 || total == 2500 || total == 3000) << "round " << round;
    ASSERT_EQ(book.size(), static_cast<size_t>(total) + 1) << "round " << round;
    if (total > 0) {
      EXPECT_EQ(book.back().second, (total == 3000 ? L"old" : L"new") + std::to_wstring(total));
    }
  }
}

}  // namespace
}  // namespace parvox
