// Repeats within two seconds are recognised; memory stays bounded under a flood.
#include <gtest/gtest.h>

#include "receiving/DuplicateFilter.h"

namespace parvox {
namespace {

IncomingMessage Message(std::wstring from, std::wstring to, std::wstring text) {
  return IncomingMessage{std::move(from), std::move(to), std::move(text)};
}

TEST(DuplicateFilter, SameMessageWithinTheWindowIsARepeat) {
  DuplicateFilter filter;
  IncomingMessage hi = Message(L"alice", L"bob", L"hi");
  EXPECT_FALSE(filter.IsRepeat(hi, 10000));
  EXPECT_TRUE(filter.IsRepeat(hi, 10001)) << "a second copy by another transport";
  EXPECT_TRUE(filter.IsRepeat(hi, 11999));
  EXPECT_FALSE(filter.IsRepeat(hi, 12000)) << "two seconds after it was shown, it is new";
  EXPECT_TRUE(filter.IsRepeat(hi, 12500));

  struct Case {
    const char* name;
    IncomingMessage other;
  } differing[] = {
      {"other sender", Message(L"carol", L"bob", L"hi")},
      {"other recipient", Message(L"alice", L"BOB", L"hi")},
      {"other text", Message(L"alice", L"bob", L"hi!")},
      {"fields shifted", Message(L"alicebob", L"", L"hi")},
      {"text moved to the recipient", Message(L"alice", L"bobhi", L"")},
  };
  for (const Case& c : differing) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(filter.IsRepeat(c.other, 12600));
  }
}

TEST(DuplicateFilter, AnIdMakesOneMessageOfDifferentRoutes) {
  DuplicateFilter filter;
  IncomingMessage first = Message(L"alice", L"bob", L"hi");
  first.messageId = 42;
  IncomingMessage sameIdOtherTo = Message(L"alice", L"*", L"hi");
  sameIdOtherTo.messageId = 42;
  IncomingMessage otherId = Message(L"alice", L"bob", L"hi again");
  otherId.messageId = 43;
  IncomingMessage mailslotCopy = Message(L"alice", L"bob", L"hi");  // no id on that route
  IncomingMessage sameIdOtherText = Message(L"alice", L"bob", L"forged first");
  sameIdOtherText.messageId = 43;
  EXPECT_FALSE(filter.IsRepeat(first, 0));
  EXPECT_TRUE(filter.IsRepeat(sameIdOtherTo, 5));
  EXPECT_FALSE(filter.IsRepeat(otherId, 6));
  EXPECT_TRUE(filter.IsRepeat(mailslotCopy, 7));
  EXPECT_FALSE(filter.IsRepeat(sameIdOtherText, 8)) << "an id alone makes no repeat";
}

TEST(DuplicateFilter, CapacityBoundsWhatIsRemembered) {
  DuplicateFilter filter(2000, 3);
  for (int i = 0; i < 4; ++i)
    EXPECT_FALSE(filter.IsRepeat(Message(L"a", L"b", std::to_wstring(i)), 100));
  EXPECT_TRUE(filter.IsRepeat(Message(L"a", L"b", L"3"), 101));
  EXPECT_FALSE(filter.IsRepeat(Message(L"a", L"b", L"0"), 101))
      << "the oldest was let go for the newest";
}

}  // namespace
}  // namespace parvox
