// Entry record split, read and replace, including malformed records from hand-edited files.
#include <gtest/gtest.h>

#include "addressbook/EntryRecord.h"

namespace parvox {
namespace {

std::wstring Parse(const std::wstring& record, const std::wstring& key,
                   const std::wstring& defaultValue = L"") {
  return ParseField(record, key, L"|", L"=", defaultValue);
}

std::wstring Set(const std::wstring& record, const std::wstring& key, const std::wstring& value) {
  return SetField(record, key, value, L"|", L"=");
}

TEST(SplitRecord, PiecesBetweenDelimiters) {
  struct Case {
    std::wstring text, delimiter;
    std::vector<std::wstring> fields;
  } cases[] = {
      {L"a|b|", L"|", {L"a", L"b", L""}},
      {L"", L"|", {L""}},
      {L"|a||b", L"|", {L"", L"a", L"", L"b"}},
      {L"a|b", L"", {L"a|b"}},
      {L"a::b:::c", L"::", {L"a", L"b", L":c"}},  // occurrences never overlap
      {L"aXb", L"x", {L"aXb"}},                   // case-sensitive
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "text=" << std::string(c.text.begin(), c.text.end()));
    std::vector<std::wstring> fields{L"stale"};
    SplitRecord(c.text, fields, c.delimiter);
    EXPECT_EQ(fields, c.fields);
  }
}

TEST(ParseField, ReadsTheFirstFieldOfAKey) {
  struct Case {
    std::wstring record, key, defaultValue, expected;
  } cases[] = {
      {L"ADDRESS=pc1|DESCRIPTION=|TYPE=1", L"DESCRIPTION", L"x", L"x"},  // empty counts as missing
      {L"ADDRESS=pc1|DESCRIPTION=|TYPE=1", L"TYPE", L"", L"1"},
      {L"", L"ADDRESS", L"x", L""},  // empty record: no default
      {L"ADDRESS=a|TYPES=1|type=1", L"TYPE", L"d", L"d"},
      {L"DESCRIPTION=a=b", L"DESCRIPTION", L"", L"a=b"},
      {L"junk|ADDRESS=pc1", L"ADDRESS", L"d", L"d"},  // first field is not key=value
      {L"ADDRESS=first|ADDRESS=second", L"ADDRESS", L"", L"first"},
      {L"ADDRESS =a|ADDRESS=b", L"ADDRESS", L"", L"b"},  // names are not trimmed
      {L"ADDRESS=a|junk|TYPE=0", L"TYPE", L"", L"0"},
      {L"ADDRESS=a|DESCRIPTION=x|", L"MISSING", L"dflt", L"dflt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.record.begin(), c.record.end()));
    EXPECT_EQ(Parse(c.record, c.key, c.defaultValue), c.expected);
  }
}

TEST(SetField, ReplacesOnlyTheFirstMatchingField) {
  struct Case {
    std::wstring record, key, value, expected;
  } cases[] = {
      {L"ADDRESS=a|X=7|DESCRIPTION=d|TYPE=0", L"ADDRESS", L"b",
       L"ADDRESS=b|X=7|DESCRIPTION=d|TYPE=0"},
      {L"ADDRESS=a|DESCRIPTION=d", L"TYPE", L"1", L"ADDRESS=a|DESCRIPTION=d"},  // not added
      {L"ADDRESS=a||TYPE=0", L"TYPE", L"1", L"ADDRESS=a||TYPE=1"},              // empty field kept
      {L"TYPE=0|TYPE=0", L"TYPE", L"1", L"TYPE=1|TYPE=0"},
      {L"", L"ADDRESS", L"x", L""},
      {L"DESCRIPTION=a=b|TYPE=0", L"DESCRIPTION", L"c=d", L"DESCRIPTION=c=d|TYPE=0"},
      {L"junk|ADDRESS=a", L"ADDRESS", L"b", L"junk|ADDRESS=b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.record.begin(), c.record.end()));
    EXPECT_EQ(Set(c.record, c.key, c.value), c.expected);
  }
}

TEST(SetField, EditorSequenceRoundTripsThroughParse) {
  std::wstring record = L"ADDRESS=old|NOTE=keep me|DESCRIPTION=old desc|TYPE=0";
  record = Set(record, L"ADDRESS", L"SALES");
  record = Set(record, L"DESCRIPTION", L"Sales = floor");
  record = Set(record, L"TYPE", L"1");
  EXPECT_EQ(record, L"ADDRESS=SALES|NOTE=keep me|DESCRIPTION=Sales = floor|TYPE=1");
  EXPECT_EQ(Parse(record, L"DESCRIPTION"), L"Sales = floor");
  EXPECT_EQ(Parse(record, L"NOTE"), L"keep me");
}

// The icon, the editor and both send paths ask this one reading, so a hand-edited spelling is the
// same kind of entry everywhere.
TEST(EntryTypeOf, OnlyExactlyZeroIsAUserOrMachine) {
  struct Case {
    const wchar_t* record;
    EntryType expected;
  } cases[] = {
      {L"ADDRESS=bob|TYPE=0", EntryType::kUserOrMachine},
      {L"ADDRESS=SALES|TYPE=1", EntryType::kDomain},
      {L"ADDRESS=pc|TYPE=00", EntryType::kDomain},
      {L"ADDRESS=pc|TYPE= 0", EntryType::kDomain},
      {L"ADDRESS=pc|TYPE=", EntryType::kDomain},
      {L"ADDRESS=pc", EntryType::kDomain},
      {L"", EntryType::kDomain},  // the row of a missing key
      {L"ADDRESS=pc|TYPE=abc", EntryType::kDomain},
      {L"ADDRESS=odd|TYPE=7", EntryType::kDomain},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.record, c.record + wcslen(c.record)));
    EXPECT_EQ(EntryTypeOf(c.record), c.expected);
  }
}

// Whatever the stored record looked like, the edited one reads back exactly what was typed
// and keeps every field it held.
TEST(EditedEntryRecord, ReadsBackWhatWasTypedAndLosesNothing) {
  struct Case {
    std::wstring before, after;
  } cases[] = {
      {L"ADDRESS=a|X=7|DESCRIPTION=d|TYPE=1", L"ADDRESS=pc|X=7|DESCRIPTION=desk|TYPE=0"},
      {L"", L"ADDRESS=pc|DESCRIPTION=desk|TYPE=0"},  // the row of a missing key
      {L"ADDRESS=a", L"ADDRESS=pc|DESCRIPTION=desk|TYPE=0"},
      {L"TYPE=1|address=a", L"TYPE=0|address=a|ADDRESS=pc|DESCRIPTION=desk"},
      {L"junk|ADDRESS=a", L"ADDRESS=pc|DESCRIPTION=desk|TYPE=0|junk|ADDRESS=a"},
      {L"ADDRESS=a||TYPE=1", L"ADDRESS=pc||TYPE=0|DESCRIPTION=desk"},
      // Only the first field of exactly that name, and only one holding "=", is changed.
      {L"X=1|TYPE|ADDRESS=a|ADDRESS=b|type=9",
       L"X=1|TYPE|ADDRESS=pc|ADDRESS=b|type=9|DESCRIPTION=desk|TYPE=0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.before.begin(), c.before.end()));
    std::wstring edited = EditedEntryRecord(c.before, L"pc", L"desk", L"0");
    EXPECT_EQ(edited, c.after);
    EXPECT_EQ(Parse(edited, L"ADDRESS"), L"pc");
    EXPECT_EQ(Parse(edited, L"DESCRIPTION"), L"desk");
    EXPECT_EQ(Parse(edited, L"TYPE"), L"0");
  }
}

}  // namespace
}  // namespace parvox
