// A flood from one source is cut down with one notice, and no spread of addresses escapes it.
#include <gtest/gtest.h>

#include "network/RateLimits.h"

namespace parvox {
namespace {

using Verdict = SourceRateLimiter::Verdict;

TEST(SourceRateLimiter, FloodGetsOneNoticeUntilItCalmsDown) {
  SourceRateLimiter limiter({/*burst*/ 3, /*perSecond*/ 2}, /*maxSources*/ 16);
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

TEST(SourceRateLimiter, NewAddressesGetNoFreshTokens) {
  SourceRateLimiter limiter({1, 1}, 2);
  IpAddress a = Ipv4Address(1), b = Ipv4Address(2), c = Ipv4Address(3), d = Ipv4Address(4);
  EXPECT_EQ(limiter.Admit(a, 0), Verdict::kAccept);
  EXPECT_EQ(limiter.Admit(a, 0), Verdict::kRefuseWithNotice);
  EXPECT_EQ(limiter.Admit(b, 10), Verdict::kAccept);
  // The table is full of sources still paying off: newcomers share one bucket, and nobody is
  // forgotten while draining.
  EXPECT_EQ(limiter.Admit(c, 20), Verdict::kAccept);
  EXPECT_EQ(limiter.Admit(d, 20), Verdict::kRefuseWithNotice);
  EXPECT_EQ(limiter.Admit(a, 30), Verdict::kRefuse);
  // Once a bucket would be full again its source is forgotten and a newcomer takes its place.
  EXPECT_EQ(limiter.Admit(d, 2000), Verdict::kAccept);
  // One computer's IPv6 addresses are one source, however many it takes.
  SourceRateLimiter v6({2, 1});
  IpAddress host = *ParseIpLiteral(L"2001:db8::1");
  for (int i = 0; i < 2; ++i) EXPECT_EQ(v6.Admit(host, 0), Verdict::kAccept);
  host.bytes[15] = 2;
  EXPECT_EQ(v6.Admit(host, 0), Verdict::kRefuseWithNotice);
}

}  // namespace
}  // namespace parvox
