// Which network messages the receiver takes: addressed to this computer, each id once, and a
// flood from one source cut down with one notice.
#include <gtest/gtest.h>

#include <cwchar>

#include "receiving/NetworkAcceptance.h"

namespace parvox {
namespace {

using Verdict = SourceRateLimiter::Verdict;

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

TEST(MessageIdMemory, EachIdOnceWithinBoundedMemory) {
  MessageIdMemory memory(3);
  EXPECT_TRUE(memory.Remember(1));
  EXPECT_FALSE(memory.Remember(1));
  EXPECT_TRUE(memory.Remember(2));
  EXPECT_TRUE(memory.Remember(3));
  EXPECT_FALSE(memory.Remember(1));
  EXPECT_TRUE(memory.Remember(4));  // 1 is forgotten now
  EXPECT_TRUE(memory.Remember(1));
  EXPECT_FALSE(memory.Remember(4));
}

TEST(SourceRateLimiter, FloodGetsOneNoticeUntilItCalmsDown) {
  SourceRateLimiter limiter({/*burst*/ 3, /*perSecond*/ 2, /*maxSources*/ 16});
  IpAddress flooder = Ipv4Address(0x0A000001), other = Ipv4Address(0x0A000002);
  struct Step {
    uint64_t ms;
    IpAddress source;
    Verdict expected;
  } steps[] = {
      {0, flooder, Verdict::kAccept},
      {0, flooder, Verdict::kAccept},
      {0, flooder, Verdict::kAccept},
      {0, flooder, Verdict::kRefuseWithNotice},
      {0, flooder, Verdict::kRefuse},
      {0, other, Verdict::kAccept},  // other sources have their own bucket
      {400, flooder, Verdict::kRefuse},
      {500, flooder, Verdict::kAccept},  // one token back after half a second
      {500, flooder, Verdict::kRefuse},  // still flooding: no second notice
      {1500, flooder, Verdict::kAccept},
      {1500, flooder, Verdict::kAccept},
      {1500, flooder, Verdict::kRefuse},
      {3000, flooder, Verdict::kAccept},  // full again: it calmed down
      {3000, flooder, Verdict::kAccept},
      {3000, flooder, Verdict::kAccept},
      {3000, flooder, Verdict::kRefuseWithNotice},
      {2000, flooder, Verdict::kRefuse},  // a clock that steps back gives nothing
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    SCOPED_TRACE(testing::Message() << "step " << i);
    EXPECT_EQ(limiter.Admit(steps[i].source, steps[i].ms), steps[i].expected);
  }
}

TEST(SourceRateLimiter, TableOfSourcesStaysBounded) {
  SourceRateLimiter limiter({1, 1, 2});
  IpAddress a = Ipv4Address(1), b = Ipv4Address(2), c = Ipv4Address(3);
  EXPECT_EQ(limiter.Admit(a, 0), Verdict::kAccept);
  EXPECT_EQ(limiter.Admit(a, 0), Verdict::kRefuseWithNotice);
  EXPECT_EQ(limiter.Admit(b, 10), Verdict::kAccept);
  // A third source pushes out the one heard from longest ago, which then starts afresh.
  EXPECT_EQ(limiter.Admit(c, 20), Verdict::kAccept);
  EXPECT_EQ(limiter.Admit(a, 30), Verdict::kAccept);
}

}  // namespace
}  // namespace parvox
