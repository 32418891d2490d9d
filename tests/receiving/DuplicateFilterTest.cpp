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

// A signed copy is a repeat only of one signed by the same key, so nobody can hide it; it still
// hides the unsigned copies after it, the mailslot's in its ANSI spelling too.
TEST(DuplicateFilter, OnlyTheSameKeyHidesASignedCopy) {
  DuplicateFilter filter;
  auto signedBy = [](std::string key, std::wstring text) {
    IncomingMessage message = Message(L"\u0141ukasz", L"bob", std::move(text));
    message.messageId = 9;
    message.signingKey = std::move(key);
    message.classicSpelling = {{L"?ukasz", L"bob", message.text}};
    return message;
  };
  struct Step {
    const char* name;
    IncomingMessage message;
    bool repeat;
  } steps[] = {
      {"unsigned first", Message(L"\u0141ukasz", L"bob", L"lunch"), false},
      {"signed after it", signedBy("k", L"lunch"), false},
      {"signed by a neighbour's key", signedBy("n", L"lunch"), false},
      {"the same key again", signedBy("k", L"lunch"), true},
      {"signed, then its unsigned copies", signedBy("k", L"tea"), false},
      {"by the network", Message(L"\u0141ukasz", L"bob", L"tea"), true},
      {"by the mailslot", Message(L"?ukasz", L"bob", L"tea"), true},
  };
  for (Step& step : steps) {
    SCOPED_TRACE(step.name);
    EXPECT_EQ(filter.IsRepeat(step.message, 100), step.repeat);
  }
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
