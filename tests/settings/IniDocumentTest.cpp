// The INI rules of the Windows profile functions: reading tricky files and writing in place.
#include "settings/IniDocument.h"

#include <gtest/gtest.h>

namespace parvox {
namespace {

std::wstring Get(const std::wstring& text, const std::wstring& section, const std::wstring& key,
                 const std::wstring& defaultValue = L"<default>") {
  std::wstring value;
  return IniDocument::Parse(text).Find(section, key, value) ? value : defaultValue;
}

TEST(IniDocumentRead, ProfileFunctionRules) {
  struct Case {
    const wchar_t* name;
    std::wstring text, section, key, expected;
  } cases[] = {
      {L"case-insensitive names", L"[Sec]\r\nKey=v\r\n", L"sEC", L"KEY", L"v"},
      {L"blanks around argument", L"[Sec]\r\nKey=v\r\n", L" Sec ", L"Key", L"v"},
      {L"blanks in the file", L"[ x ]\r\n \tk\v=\t v \r\n", L"x", L"k", L"v"},
      {L"double quotes", L"[s]\r\na=\"  q  \"\r\n", L"s", L"a", L"  q  "},
      {L"single quotes", L"[s]\r\nb='r'\r\n", L"s", L"b", L"r"},
      {L"mismatched quotes", L"[s]\r\nc=\"m'\r\n", L"s", L"c", L"\"m'"},
      {L"quotes inside quotes", L"[s]\r\nd='\"z\"'\r\n", L"s", L"d", L"\"z\""},
      {L"one quote", L"[s]\r\nd=\"\r\n", L"s", L"d", L"\""},
      {L"empty value", L"[s]\r\nname2=\r\n", L"s", L"name2", L""},
      {L"line without =", L"[s]\r\nname3\r\n", L"s", L"name3", L"<default>"},
      {L"comment", L"[s]\r\n;k=1\r\n", L"s", L"k", L"<default>"},
      {L"indented comment", L"[s]\r\n \t;j=2\r\n", L"s", L"j", L"<default>"},
      {L"semicolon in value", L"[s]\r\nk2=;x\r\n", L"s", L"k2", L";x"},
      {L"hash is ordinary", L"[s]\r\n#h=1\r\n", L"s", L"#h", L"1"},
      {L"first duplicate key", L"[s]\r\nk=1\r\nk=2\r\n", L"s", L"k", L"1"},
      {L"first duplicate section", L"[s]\r\nk=1\r\n[t]\r\n[s]\r\nj=3\r\n", L"s", L"j", L"<default>"},
      {L"text after ]", L"[s]k=1\r\n", L"s", L"k", L"<default>"},
      {L"missing ]", L"[c  \r\nk=2\r\n", L"c", L"k", L"2"},
      {L"empty section name", L"[]\r\nk=e\r\n", L"", L"k", L"e"},
      {L"utf-8 bom joins line 1", L"\xEF\xBB\xBF[s]\r\nk=v\r\n[t]\r\nk=w\r\n", L"s", L"k", L"<default>"},
      {L"after utf-8 bom", L"\xEF\xBB\xBF[s]\r\nk=v\r\n[t]\r\nk=w\r\n", L"t", L"k", L"w"},
      {L"key before any section", L"k=1\r\n[s]\r\n", L"s", L"k", L"<default>"},
      {L"LF only", L"[s]\nname1=val1\nname4=val4\n", L"s", L"name4", L"val4"},
      {L"CR only", L"[s]\rname1=val1\rname4=val4\r", L"s", L"name4", L"val4"},
      {L"no final newline", L"[s]\r\nname4=val4", L"s", L"name4", L"val4"},
      {L"first = splits", L"[s]\r\nk=a=b\r\n", L"s", L"k", L"a=b"},
      {L"blank lines", L"\r\n\r\n[s]\r\n\r\nk=v\r\n\r\n", L"s", L"k", L"v"},
      {L"NUL bytes are text", std::wstring(L"[s]\r\nk=a\0b\r\n", 12), L"s", L"k", std::wstring(L"a\0b", 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.name, c.name + wcslen(c.name)));
    EXPECT_EQ(Get(c.text, c.section, c.key), c.expected);
  }
}

TEST(IniDocumentRead, SectionListsKeysInOrderFirstDuplicateOnly) {
  IniDocument document = IniDocument::Parse(L"[A]\r\nb=2\r\n;c=9\r\na=1\r\nB=3\r\njunk\r\n[C]\r\nx=1\r\n");
  IniDocument::KeyValues expected = {{L"b", L"2"}, {L"a", L"1"}};
  EXPECT_EQ(document.ReadSection(L"a"), expected);
  EXPECT_TRUE(document.ReadSection(L"missing").empty());
  EXPECT_EQ(document.KeyCount(L" a "), 2u);  // duplicates and comments not counted
  EXPECT_EQ(document.KeyCount(L"c"), 1u);
  EXPECT_EQ(document.KeyCount(L"missing"), 0u);
}

std::wstring AfterSet(const std::wstring& text, const std::wstring& section, const std::wstring& key,
                      const std::wstring& value) {
  IniDocument document = IniDocument::Parse(text);
  document.Set(section, key, value);
  return document.Serialize();
}

TEST(IniDocumentWrite, ProfileFunctionLayout) {
  struct Case {
    const wchar_t* name;
    std::wstring before, section, key, value, after;
  } cases[] = {
      {L"new file", L"", L"S", L"k", L"v", L"[S]\r\nk=v\r\n"},
      {L"new section", L"[App1]\r\nkey1=string1\r\n", L"App2", L"key4", L"string4",
       L"[App1]\r\nkey1=string1\r\n[App2]\r\nkey4=string4\r\n"},
      {L"unterminated last line", L"[App1]\r\nkey1=string1", L"App2", L"k", L"v",
       L"[App1]\r\nkey1=string1\r\n[App2]\r\nk=v\r\n"},
      {L"replace keeps spelling", L"[S]\r\nKey=old", L"s", L"KEY", L"new", L"[S]\r\nKey=new\r\n"},
      {L"replace trims the stored key", L"[S]\r\n \tKey = old\r\n", L"S", L"key", L"new", L"[S]\r\nKey=new\r\n"},
      {L"new key after last key", L"[S]\r\na=1\r\n; note\r\n\r\n[T]\r\n", L"S", L"b", L"2",
       L"[S]\r\na=1\r\nb=2\r\n; note\r\n\r\n[T]\r\n"},
      {L"new key in empty section", L"[S]\r\n;c\r\n[T]\r\n", L"S", L"b", L"2", L"[S]\r\nb=2\r\n;c\r\n[T]\r\n"},
      {L"first duplicate replaced", L"[S]\r\nk=1\r\nk=2\r\n", L"S", L"k", L"3", L"[S]\r\nk=3\r\nk=2\r\n"},
      {L"LF file rewritten with CRLF", L"[S]\nk=1\n", L"S", L"k", L"2", L"[S]\r\nk=2\r\n"},
      {L"junk kept", L"garbage\r\n[S]\r\nnot a key\r\n", L"S", L"k", L"v", L"garbage\r\n[S]\r\nk=v\r\nnot a key\r\n"},
      {L"edge blanks quoted", L"", L"S", L"k", L" v ", L"[S]\r\nk=\" v \"\r\n"},
      {L"quoted value quoted again", L"", L"S", L"k", L"'v'", L"[S]\r\nk=\"'v'\"\r\n"},
      {L"inner quote raw", L"", L"S", L"k", L"a\"b", L"[S]\r\nk=a\"b\r\n"},
      {L"line breaks never stored", L"", L"S", L"k", std::wstring(L"a\r\nb\0c", 6), L"[S]\r\nk=a  b c\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.name, c.name + wcslen(c.name)));
    EXPECT_EQ(AfterSet(c.before, c.section, c.key, c.value), c.after);
  }
}

TEST(IniDocumentWrite, StoredValuesReadBackExactly) {
  for (const std::wstring value :
       {L" lead", L"trail\t", L"\"q\"", L"'s'", L"\"", L"''", L"", L"a=b|c", L" \" mixed ' "}) {
    SCOPED_TRACE(testing::Message() << value.size());
    IniDocument document = IniDocument::Parse(AfterSet(L"", L"S", L"k", value));
    std::wstring read;
    ASSERT_TRUE(document.Find(L"S", L"k", read));
    EXPECT_EQ(read, value);
  }
}

TEST(IniDocumentWrite, DeleteKeyAndSection) {
  IniDocument document = IniDocument::Parse(L"[A]\r\nk1=1\r\n;keep\r\nk2=2\r\n[B]\r\nk=3\r\n");
  document.DeleteKey(L"a", L"K1");
  document.DeleteKey(L"a", L"absent");
  EXPECT_EQ(document.Serialize(), L"[A]\r\n;keep\r\nk2=2\r\n[B]\r\nk=3\r\n");
  document.DeleteSection(L"A");
  EXPECT_EQ(document.Serialize(), L";keep\r\n[B]\r\nk=3\r\n");
  std::wstring value;
  EXPECT_TRUE(document.Find(L"B", L"k", value));
}

TEST(IniDocumentWrite, ReplaceSectionWholeKeepsTheRest) {
  IniDocument document = IniDocument::Parse(
      L"[Settings]\r\nLast Selected=bob\r\n[addresses]\r\nTotal=5\r\nAddress[00005]=x\r\n;c\r\n"
      L"[Other]\r\nz=1\r\n");
  document.ReplaceSection(L"Addresses", {{L"Total", L"1"}, {L"Address[00001]", L"ADDRESS=a"}});
  EXPECT_EQ(
      document.Serialize(),
      L"[Settings]\r\nLast Selected=bob\r\n[addresses]\r\nTotal=1\r\nAddress[00001]=ADDRESS=a\r\n"
      L";c\r\n[Other]\r\nz=1\r\n");
  document.ReplaceSection(L"New", {{L"k", L"v"}});
  std::wstring value;
  EXPECT_TRUE(document.Find(L"new", L"K", value));
  EXPECT_EQ(value, L"v");
}

TEST(IniDocumentWrite, ReplaceSectionKeepsCommentsBlanksAndKeysItDoesNotOwn) {
  auto owned = [](std::wstring_view key) {
    return key == L"Total" || key.substr(0, 8) == L"Address[";
  };
  struct Case {
    const wchar_t* name;
    std::wstring before, after;
  } cases[] = {
      {L"comment above, blank line below",
       L"[A]\r\n; mine\r\nTotal=2\r\nAddress[1]=x\r\nAddress[2]=y\r\n\r\n[B]\r\n",
       L"[A]\r\n; mine\r\nTotal=1\r\nAddress[1]=n\r\n\r\n[B]\r\n"},
      {L"lines between entries follow the new ones",
       L"[A]\r\nTotal=2\r\nAddress[1]=x\r\n;note\r\nOwner=me\r\nAddress[2]=y\r\n",
       L"[A]\r\nTotal=1\r\nAddress[1]=n\r\n;note\r\nOwner=me\r\n"},
      {L"no owned key yet: new ones after the others", L"[A]\r\nOwner=me\r\n",
       L"[A]\r\nOwner=me\r\nTotal=1\r\nAddress[1]=n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IniDocument document = IniDocument::Parse(c.before);
    document.ReplaceSection(L"a", {{L"Total", L"1"}, {L"Address[1]", L"n"}}, owned);
    EXPECT_EQ(document.Serialize(), c.after);
  }
}

TEST(IniDocumentWrite, LargeSectionIsIndexed) {
  IniDocument::KeyValues entries;
  for (int i = 0; i < 20000; ++i) entries.emplace_back(L"Address[" + std::to_wstring(i) + L"]", std::to_wstring(i));
  IniDocument document;
  document.ReplaceSection(L"Addresses", entries);
  IniDocument reparsed = IniDocument::Parse(document.Serialize());
  std::wstring value;
  ASSERT_TRUE(reparsed.Find(L"addresses", L"ADDRESS[19999]", value));
  EXPECT_EQ(value, L"19999");
  EXPECT_EQ(reparsed.ReadSection(L"Addresses").size(), 20000u);
}

}  // namespace
}  // namespace parvox
