// Which entry keys of a hand-edited "Addresses" section a load of the first n entries leaves
// unread.
#include <gtest/gtest.h>

#include "addressbook/AddressBookSection.h"

namespace parvox {
namespace {

IniDocument::KeyValues Keys(std::initializer_list<const wchar_t*> names) {
  IniDocument::KeyValues section;
  for (const wchar_t* name : names) section.emplace_back(name, L"ADDRESS=x");
  return section;
}

TEST(AddressBookSection, FirstUnreadEntryKey) {
  struct Case {
    IniDocument::KeyValues section;
    long long loaded;
    std::wstring unread;
  } cases[] = {
      {Keys({L"Total", L"Address[00001]", L"address[00002]"}), 2, L""},
      {Keys({L"Total", L"Address[00001]", L"Address[00003]"}), 2, L"Address[00003]"},
      {Keys({L"Address[00001]"}), 0, L"Address[00001]"},  // "Total" missing, 0 or no number
      {Keys({L"Address[00002]", L"Address[00001]"}), 1, L"Address[00002]"},
      {Keys({L"Address[12]"}), 20, L"Address[12]"},  // the load asks for "Address[00012]"
      {Keys({L"Address[000012]"}), 20, L"Address[000012]"},
      {Keys({L"Address[00000]"}), 5, L"Address[00000]"},
      {Keys({L"Address[123456]"}), 123456, L""},
      {Keys({L"Address[99999999999999999999999]"}), 100, L"Address[99999999999999999999999]"},
      {Keys({L"Addresses", L"Address[]", L"Address[1a]", L"Address[00009", L"Comment"}), 0, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "first key " << c.section[0].first.size() << " long, loaded " << c.loaded);
    EXPECT_EQ(FirstUnreadEntryKey(c.section, c.loaded), c.unread);
  }
}

TEST(AddressBookSection, LastPresentEntryWithinALimit) {
  IniDocument::KeyValues section = Keys({L"Total", L"Address[00001]", L"Address[00040]",
                                         L"ADDRESS[00007]", L"Address[12]", L"Address[02000]"});
  EXPECT_EQ(LastPresentEntry(section, 1000), 40);
  EXPECT_EQ(LastPresentEntry(section, 39), 7);
  EXPECT_EQ(LastPresentEntry(section, 5000), 2000);
  EXPECT_EQ(LastPresentEntry(Keys({L"Total"}), 1000), 0);
}

TEST(AddressBookSection, SaveRewritesOnlyTheKeysItWrites) {
  for (const wchar_t* owned : {L"Total", L" TOTAL ", L"Address[00001]", L"address[123456]"}) {
    SCOPED_TRACE(testing::Message() << "owned key of length " << std::wstring(owned).size());
    EXPECT_TRUE(IsAddressBookKey(owned));
  }
  for (const wchar_t* kept : {L"Totals", L"Address[12]", L"Address[000012]", L"Address[00000]",
                              L"Address[]", L"Owner", L""}) {
    SCOPED_TRACE(testing::Message() << "kept key of length " << std::wstring(kept).size());
    EXPECT_FALSE(IsAddressBookKey(kept));
  }
}

TEST(AddressBookSection, WhatALoadReadsAndWhyTheBookIsIncomplete) {
  struct Case {
    const wchar_t* name;
    std::wstring file;
    long long entries;
    size_t found;  // what the load finds of those entries
    std::wstring totalProblem, unreadProblem;
  } cases[] = {
      {L"whole", L"[Addresses]\nTotal=2\nAddress[00001]=a\nAddress[00002]=b\n", 2, 2, L"", L""},
      {L"missing keys load empty", L"[Addresses]\nTotal=3\nAddress[00002]=b\n", 3, 1, L"", L""},
      {L"no section", L"", 0, 0, L"", L""},
      {L"total rounds half to even",
       L"[Addresses]\nTotal=2.5\nAddress[00001]=a\nAddress[00002]=b\n", 2, 2, L"", L""},
      {L"low total", L"[Addresses]\nTotal=1\nAddress[00001]=a\nAddress[00002]=b\n", 1, 1, L"",
       L"\"Total\" is \"1\", but the file also holds \"Address[00002]\"."},
      {L"no total", L"[Addresses]\nAddress[00001]=a\n", 0, 0, L"",
       L"\"Total\" is missing, but the file also holds \"Address[00001]\"."},
      {L"total beyond the bound",
       L"[Addresses]\nTotal=2000000000\nAddress[00001]=a\nAddress[00900]=b\n", 900, 2,
       L"\"Total\" claims 2000000000 entries, but the file holds only 2.", L""},
      {L"entry beyond the bound", L"[Addresses]\nTotal=1e20\nAddress[00001]=a\nAddress[09999]=b\n",
       1, 1, L"\"Total\" claims 100000000000000000000 entries, but the file holds only 2.",
       L"\"Total\" is \"1e20\", but the file also holds \"Address[09999]\"."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.name);
    IniDocument book = IniDocument::Parse(c.file);
    BookLoadPlan plan = PlanBookLoad(book);
    EXPECT_EQ(plan.entries, c.entries);
    EXPECT_EQ(plan.totalProblem, c.totalProblem);
    EXPECT_EQ(UnreadEntriesProblem(book, plan, c.found), c.unreadProblem);
  }
}

}  // namespace
}  // namespace parvox
