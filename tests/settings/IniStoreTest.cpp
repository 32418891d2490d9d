// Caching, change detection and failure behaviour of the settings store.
#include <gtest/gtest.h>

#include "settings/IniStore.h"
#include "support/MemoryFiles.h"

namespace parvox {
namespace {

class IniStoreTest : public testing::Test {
 protected:
  test::MemoryFiles files;
  test::Latin1Codec codec;
  IniStore store{files, codec};
  const std::wstring path = L"C:\\app\\Address Book.ini";
};

TEST_F(IniStoreTest, MissingFileReadsDefaultsAndIsNotCreated) {
  EXPECT_EQ(store.Read(path, L"Settings", L"Escape Minimises", L"1"), L"1");
  EXPECT_FALSE(files.Exists(path));
}

TEST_F(IniStoreTest, FirstWriteCreatesTheFile) {
  EXPECT_TRUE(store.Write(path, L"Settings", L"Start Minimised", L"1"));
  EXPECT_EQ(files.Bytes(path), "[Settings]\r\nStart Minimised=1\r\n");
}

TEST_F(IniStoreTest, ParsesOnceForManyReads) {
  std::string text = "[Addresses]\r\n";
  for (int i = 1; i <= 500; ++i)
    text += "Address[" + std::to_string(i) + "]=v" + std::to_string(i) + "\r\n";
  files.Put(path, text);
  for (int i = 1; i <= 500; ++i) {
    ASSERT_EQ(store.Read(path, L"Addresses", L"Address[" + std::to_wstring(i) + L"]", L""),
              L"v" + std::to_wstring(i));
  }
  EXPECT_EQ(files.reads, 1);
}

TEST_F(IniStoreTest, RereadsWhenAnotherProgramChangesTheFile) {
  files.Put(path, "[s]\r\nk=old\r\n");
  EXPECT_EQ(store.Read(path, L"s", L"k", L""), L"old");
  files.Put(path, "[s]\r\nk=new\r\n");  // same size, newer write time
  EXPECT_EQ(store.Read(path, L"s", L"k", L""), L"new");
  EXPECT_EQ(files.reads, 2);
}

TEST_F(IniStoreTest, OwnWritesNeedNoReread) {
  files.Put(path, "[s]\r\nk=1\r\n");
  store.Write(path, L"s", L"k", L"2");
  store.Write(path, L"s", L"j", L"3");
  EXPECT_EQ(store.Read(path, L"s", L"k", L""), L"2");
  EXPECT_EQ(files.reads, 1);
  EXPECT_EQ(files.Bytes(path), "[s]\r\nk=2\r\nj=3\r\n");
}

TEST_F(IniStoreTest, FailedWriteLeavesFileAndReadsAsTheyWere) {
  files.Put(path, "[s]\r\nk=1\r\n");
  files.failWrites = true;
  EXPECT_FALSE(store.Write(path, L"s", L"k", L"2"));
  EXPECT_FALSE(store.ReplaceSection(path, L"s", {}));
  EXPECT_EQ(files.Bytes(path), "[s]\r\nk=1\r\n");
  EXPECT_EQ(store.Read(path, L"s", L"k", L""), L"1");
}

TEST_F(IniStoreTest, FailedConversionWritesNothing) {
  const std::string original =
      "[Settings]\r\nInternal Send=1\r\n[Addresses]\r\nTotal=1\r\nAddress[00001]=a\r\n";
  files.Put(path, original);
  codec.failEncodes = true;
  EXPECT_FALSE(store.Write(path, L"Settings", L"Last Selected", L"a"));
  EXPECT_FALSE(store.ReplaceSection(path, L"Addresses", {{L"Total", L"0"}}));
  EXPECT_FALSE(store.DeleteSection(path, L"Settings"));
  EXPECT_EQ(files.writes, 0);
  EXPECT_EQ(files.Bytes(path), original);
  EXPECT_EQ(store.Read(path, L"Addresses", L"Total", L""), L"1");
}

TEST_F(IniStoreTest, FileBeyondTheSizeBoundIsUnreadableAndNeverWritten) {
  files.Put(path, "[Settings]\r\nInternal Send=1\r\n");
  files.claimedSize = kMaxSettingsFileBytes + 1;
  EXPECT_EQ(store.Read(path, L"Settings", L"Internal Send", L"0"), L"0");
  EXPECT_FALSE(store.Readable(path));
  EXPECT_FALSE(store.Write(path, L"Settings", L"Last Selected", L"a"));
  EXPECT_EQ(files.reads + files.writes, 0);
}

TEST_F(IniStoreTest, SecondWriterRightAfterOurReplaceIsNotTakenForUs) {
  files.Put(path, "[s]\r\nk=1\r\n");
  files.afterReplace = [&](const std::wstring& written) {
    files.afterReplace = nullptr;
    files.Put(written, "[s]\r\nk=theirs\r\n");
  };
  ASSERT_TRUE(store.Write(path, L"s", L"j", L"2"));
  EXPECT_EQ(store.Read(path, L"s", L"k", L""), L"theirs");
  ASSERT_TRUE(store.Write(path, L"s", L"j", L"3"));
  EXPECT_EQ(files.Bytes(path), "[s]\r\nk=theirs\r\nj=3\r\n");
}

TEST_F(IniStoreTest, UnreadableFileIsNeverOverwritten) {
  files.Put(path, "[s]\r\nk=precious\r\n");
  files.failReads = true;
  EXPECT_EQ(store.Read(path, L"s", L"k", L"d"), L"d");
  EXPECT_FALSE(store.Write(path, L"s", L"other", L"x"));
  EXPECT_EQ(files.writes, 0);
  EXPECT_EQ(files.Bytes(path), "[s]\r\nk=precious\r\n");
}

TEST_F(IniStoreTest, ReadFailureIsNotRemembered) {
  files.Put(path, "[s]\r\nk=precious\r\n");
  files.failReads = true;  // say, another program held the file for a moment
  EXPECT_EQ(store.Read(path, L"s", L"k", L"d"), L"d");
  files.failReads = false;
  EXPECT_EQ(store.Read(path, L"s", L"k", L"d"), L"precious");
  EXPECT_TRUE(store.Write(path, L"s", L"other", L"x"));
  EXPECT_EQ(files.Bytes(path), "[s]\r\nk=precious\r\nother=x\r\n");
}

TEST_F(IniStoreTest, FileThatCannotBeLookedAtIsNotTakenForMissing) {
  files.Put(path, "[Addresses]\r\nTotal=1\r\nAddress[00001]=ADDRESS=pc1\r\n");
  files.failStamps = true;
  EXPECT_EQ(store.Read(path, L"Addresses", L"Total", L"0"), L"0");
  EXPECT_FALSE(store.Write(path, L"Settings", L"Last Selected", L"pc1"));
  EXPECT_FALSE(store.ReplaceSection(path, L"Addresses", {{L"Total", L"0"}}));
  EXPECT_EQ(files.writes, 0);
  files.failStamps = false;
  EXPECT_EQ(store.Read(path, L"Addresses", L"Total", L"0"), L"1");
}

TEST_F(IniStoreTest, Utf16FileStaysUtf16) {
  std::string bytes = "\xFF\xFE";
  for (char c : std::string("[s]\r\nk=\xE9t\xE9\r\n")) bytes += std::string{c, '\0'};
  files.Put(path, bytes);
  EXPECT_EQ(store.Read(path, L"s", L"k", L""), L"\u00e9t\u00e9");
  EXPECT_TRUE(store.Write(path, L"s", L"j", L"\u20ac"));  // a character beyond the ANSI page
  const std::string& written = files.Bytes(path);
  ASSERT_GE(written.size(), 2u);
  EXPECT_EQ(written.substr(0, 2), "\xFF\xFE");
  EXPECT_NE(written.find(std::string("\xAC\x20", 2)), std::string::npos);
  EXPECT_EQ(store.Read(path, L"s", L"j", L""), L"\u20ac");
}

TEST_F(IniStoreTest, LongValuesComeBackWhole) {
  std::wstring value(200000, L'x');
  store.Write(path, L"Addresses", L"Address[00001]", value);
  files.Put(path, files.Bytes(path));  // force a fresh parse from the bytes
  EXPECT_EQ(store.Read(path, L"Addresses", L"Address[00001]", L""), value);
}

TEST_F(IniStoreTest, ReplaceSectionKeepsOtherSections) {
  files.Put(path,
            "[Settings]\r\nLast Selected=a|b\r\n[Addresses]\r\nTotal=5\r\nAddress[00005]=x\r\n");
  ASSERT_TRUE(
      store.ReplaceSection(path, L"Addresses", {{L"Total", L"1"}, {L"Address[00001]", L"r"}}));
  EXPECT_EQ(files.Bytes(path),
            "[Settings]\r\nLast Selected=a|b\r\n[Addresses]\r\nTotal=1\r\nAddress[00001]=r\r\n");
  EXPECT_EQ(store.Document(path).ReadSection(L"addresses").size(), 2u);
}

}  // namespace
}  // namespace parvox
