// Which network messages the receiver takes: addressed to this computer, each id once, and a
// flood from one source cut down with one notice.
#include <gtest/gtest.h>

#include <cwchar>

#include "receiving/NetworkAcceptance.h"
#include "receiving/ReplayMemory.h"

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

TEST(ReplayMemory, KeepsEachMessageWhileItCouldBeAcceptedAndAcrossARestart) {
  ReplayMemory memory(3);
  EXPECT_TRUE(memory.Remember(1, 7, 1000, 0));
  EXPECT_FALSE(memory.Remember(1, 7, 1000, 999)) << "a day late, still a repeat";
  EXPECT_TRUE(memory.Remember(1, 8, 1000, 0)) << "another key's id";
  EXPECT_TRUE(memory.Remember(2, 7, 50, 0));
  EXPECT_TRUE(memory.Remember(3, 7, 2000, 0));  // full: (2, 7) would be forgotten first
  EXPECT_TRUE(memory.Remember(2, 7, 50, 0));
  EXPECT_FALSE(memory.Remember(1, 7, 1000, 0));
  EXPECT_TRUE(memory.Remember(1, 7, 1500, 1001)) << "its time passed";

  // What a restart reads back: the records still current, a write cut short ignored.
  ReplayMemory restarted(8);
  restarted.Load(memory.Records() + ReplayMemory::Record(9, 9, 5).substr(0, 20), 1001);
  EXPECT_EQ(restarted.Size(), 2u);
  EXPECT_FALSE(restarted.Remember(3, 7, 2000, 1001));
  EXPECT_FALSE(restarted.Remember(1, 7, 1500, 1001));
  EXPECT_EQ(memory.Records().substr(0, ReplayMemory::kRecordBytes),
            std::string("\0\0\0\0\0\0\0\x01\0\0\0\0\0\0\0\x07\0\0\0\0\0\0\x05\xdc", 24));
}

}  // namespace
}  // namespace parvox
