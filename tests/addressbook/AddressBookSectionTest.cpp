// Which entry keys of a hand-edited "Addresses" section a load of the first n entries leaves unread.
#include "addressbook/AddressBookSection.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace parvox
