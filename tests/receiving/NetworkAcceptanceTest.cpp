// Which network messages the receiver takes: addressed to this computer, each id once, and a
// flood from one source cut down with one notice.
#include <gtest/gtest.h>

#include <cwchar>

#include "receiving/NetworkAcceptance.h"

namespace parvox {
namespace {

TEST(NetworkAcceptance, AddressedToThisComputer) {
  LocalIdentity me{L"PC1", L"Bob", {L"WORKGROUP", L"pc1.corp.example", L"192.168.1.20"}};
  struct Case {
    const wchar_t* to;
    bool fromThisComputer;
    bool accepted;
  } cases[] = {
      {L"pc1", false, true},
      {L"BOB", false, true},
      {L"*", false, true},
      {L"workgroup", false, true},
      {L"PC1.CORP.EXAMPLE", false, true},
      {L"192.168.1.20", false, true},
      {L"pc2", false, false},
      {L"bo", false, false},
      {L"", false, false},
      {L"", true, false},
      {L".", false, false},
      {L".", true, true},
      {L"localhost", false, false},
      {L"LocalHost", true, true},
      {L"127.0.0.1", false, false},
      {L"127.0.0.1", true, true},
      {L"::1", true, true},
      {L"10.0.0.1", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.to, c.to + std::wcslen(c.to)) << " from "
                                    << (c.fromThisComputer ? "here" : "elsewhere"));
    EXPECT_EQ(IsAddressedToThisComputer(c.to, me, c.fromThisComputer), c.accepted);
  }
  // A computer whose user name could not be read must not take messages with an empty To.
  EXPECT_FALSE(IsAddressedToThisComputer(L"", LocalIdentity{L"PC1", L"", {}}, false));
}

TEST(MessageIdMemory, EachMessageOnceWithinBoundedMemory) {
  MessageIdMemory memory(3);
  EXPECT_TRUE(memory.Remember(1, 10));
  EXPECT_FALSE(memory.Remember(1, 10));
  EXPECT_TRUE(memory.Remember(1, 11));  // the same id with other content: not a repeat
  EXPECT_TRUE(memory.Remember(2, 10));
  EXPECT_TRUE(memory.Remember(3, 10));  // (1, 10) is forgotten now
  EXPECT_TRUE(memory.Remember(1, 10));
  EXPECT_FALSE(memory.Remember(3, 10));
}

}  // namespace
}  // namespace parvox
