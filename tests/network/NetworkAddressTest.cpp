// IP literals, recipients' addresses, broadcast destinations and the neighbour check.
#include <gtest/gtest.h>

#include "network/NetworkAddress.h"
#include "network/TrustedNetworks.h"

namespace parvox {
namespace {

std::string Narrow(std::wstring_view text) { return std::string(text.begin(), text.end()); }

IpAddress Ip(const wchar_t* literal) {
  std::optional<IpAddress> address = ParseIpLiteral(literal);
  EXPECT_TRUE(address) << Narrow(literal);
  return address.value_or(IpAddress{});
}

TEST(IpLiteral, ParsesToCanonicalSpelling) {
  struct Case {
    const wchar_t* text;
    const wchar_t* canonical;  // nullptr: not a literal
  } cases[] = {
      {L"192.168.1.20", L"192.168.1.20"},
      {L"0.0.0.0", L"0.0.0.0"},
      {L"255.255.255.255", L"255.255.255.255"},
      {L"256.1.1.1", nullptr},
      {L"1.2.3", nullptr},
      {L"1.2.3.4.5", nullptr},
      {L"1.2.3.", nullptr},
      {L"01.2.3.4", nullptr},  // octal to some parsers
      {L"1.2.3.4 ", nullptr},
      {L"1.2.3.-4", nullptr},
      {L"::1", L"::1"},
      {L"::", L"::"},
      {L"FE80:0:0:0:0:0:0:1", L"fe80::1"},
      {L"2001:db8:0:0:1:0:0:1", L"2001:db8::1:0:0:1"},     // the first of equal runs
      {L"2001:db8:0:1:1:1:1:1", L"2001:db8:0:1:1:1:1:1"},  // one zero group stays
      {L"1::", L"1::"},
      {L"::ffff:10.0.0.1", L"::ffff:10.0.0.1"},
      {L"1:2:3:4:5:6:1.2.3.4", L"1:2:3:4:5:6:102:304"},
      {L"1:2:3:4:5:6:7:8:9", nullptr},
      {L"1:2:3:4:5:6:7", nullptr},
      {L"1:2:3:4:5:6:7::8", nullptr},
      {L"1::2::3", nullptr},
      {L":::", nullptr},
      {L":1::", nullptr},
      {L"1::2:", nullptr},
      {L"12345::", nullptr},
      {L"::g", nullptr},
      {L"::1.2.3.4:5", nullptr},
      {L"fe80::1%3", nullptr},
      {L"", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    std::optional<IpAddress> address = ParseIpLiteral(c.text);
    ASSERT_EQ(address.has_value(), c.canonical != nullptr);
    if (address) {
      EXPECT_EQ(FormatIpAddress(*address), c.canonical);
    }
  }
}

TEST(RecipientAddress, KindToPortAndBroadcast) {
  using Kind = RecipientAddress::Kind;
  struct Case {
    const wchar_t* address;
    Kind kind;
    const wchar_t* to;
    uint16_t port;
    const wchar_t* literal;
    bool broadcast;
  } cases[] = {
      {L".", Kind::kThisComputer, L".", 0, L"127.0.0.1", false},
      {L".:40001", Kind::kThisComputer, L".", 40001, L"127.0.0.1", false},
      {L"10.0.0.5", Kind::kLiteral, L"10.0.0.5", 0, L"10.0.0.5", true},
      {L"127.0.0.1:40002", Kind::kLiteral, L"127.0.0.1", 40002, L"127.0.0.1", false},
      {L"::1", Kind::kLiteral, L"::1", 0, L"::1", false},
      {L"fe80::1", Kind::kLiteral, L"fe80::1", 0, L"fe80::1", true},
      {L"[::1]:40003", Kind::kLiteral, L"::1", 40003, L"::1", false},
      {L"[2001:db8::5]", Kind::kLiteral, L"2001:db8::5", 0, L"2001:db8::5", true},
      {L"bob", Kind::kHostName, L"bob", 0, nullptr, true},
      {L"pc1.corp.example:65535", Kind::kHostName, L"pc1.corp.example", 65535, nullptr, true},
      {L"01.2.3.4", Kind::kHostName, L"01.2.3.4", 0, nullptr, true},
      {L"fe80::1%eth0", Kind::kHostName, L"fe80::1%eth0", 0, nullptr, true},
      {L"[fe80::1%12]:42165", Kind::kHostName, L"fe80::1%12", 42165, nullptr, true},
      {L"::ffff:10.0.0.5", Kind::kLiteral, L"10.0.0.5", 0, L"10.0.0.5", true},
      {L"bob:0", Kind::kInvalid, L"", 0, nullptr, false},
      {L"bob:65536", Kind::kInvalid, L"", 0, nullptr, false},
      {L"bob:", Kind::kInvalid, L"", 0, nullptr, false},
      {L"bob:x1", Kind::kInvalid, L"", 0, nullptr, false},
      {L":40001", Kind::kInvalid, L"", 0, nullptr, false},
      {L"[::1", Kind::kInvalid, L"", 0, nullptr, false},
      {L"[::1]40001", Kind::kInvalid, L"", 0, nullptr, false},
      {L"[10.0.0.1]:40001", Kind::kInvalid, L"", 0, nullptr, false},
      {L"[%12]:40001", Kind::kInvalid, L"", 0, nullptr, false},
      {L"a:b:c", Kind::kInvalid, L"", 0, nullptr, false},
      {L"", Kind::kInvalid, L"", 0, nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.address));
    RecipientAddress recipient = ParseRecipientAddress(c.address);
    EXPECT_EQ(recipient.kind, c.kind);
    EXPECT_EQ(recipient.to, c.to);
    EXPECT_EQ(recipient.port, c.port);
    EXPECT_EQ(recipient.broadcast, c.broadcast);
    if (c.literal) {
      EXPECT_EQ(FormatIpAddress(recipient.literal), c.literal);
    }
  }
}

TEST(InterfaceTable, BroadcastDestinations) {
  std::vector<InterfaceAddress> table = {
      {Ip(L"127.0.0.1"), 8, true, true},  // loopback: never
      {Ip(L"192.168.1.20"), 24, true, false},
      {Ip(L"192.168.1.30"), 24, true, false},  // same subnet: once
      {Ip(L"10.1.2.3"), 8, true, false},
      {Ip(L"172.16.5.4"), 16, false, false},  // down
      {Ip(L"10.9.9.9"), 31, true, false},     // point-to-point: no broadcast address
      {Ip(L"10.8.8.8"), 32, true, false},
      {Ip(L"0.0.0.0"), 8, true, false},  // not configured
      {Ip(L"169.254.7.7"), 16, true, false},
      {Ip(L"192.168.7.1"), 30, true, false},
      {Ip(L"fe80::1"), 64, true, false},  // IPv6 has no broadcast
  };
  std::vector<std::wstring> destinations;
  for (const IpAddress& address : BroadcastDestinations(table)) {
    destinations.push_back(FormatIpAddress(address));
  }
  EXPECT_EQ(destinations, (std::vector<std::wstring>{L"192.168.1.255", L"10.255.255.255",
                                                     L"169.254.255.255", L"192.168.7.3"}));
  EXPECT_TRUE(BroadcastDestinations({}).empty());
}

TEST(InterfaceTable, NearbySources) {
  std::vector<InterfaceAddress> table = {
      {Ip(L"192.168.1.20"), 24, true, false},
      {Ip(L"172.16.5.4"), 16, false, false},  // down
      {Ip(L"10.9.9.9"), 31, true, false},
      {Ip(L"10.20.0.1"), 0, true, false},  // a prefix of 0 covers only itself
      {Ip(L"2001:db8:1::20"), 64, true, false},
  };
  struct Case {
    const wchar_t* source;
    bool nearby;
  } cases[] = {
      {L"192.168.1.77", true},
      {L"192.168.2.77", false},
      {L"::ffff:192.168.1.9", true},
      {L"127.5.5.5", true},
      {L"::1", true},
      {L"fe80::abcd", true},
      {L"172.16.5.9", false},
      {L"10.9.9.8", true},
      {L"10.9.9.10", false},
      {L"10.20.0.1", true},
      {L"10.20.0.2", false},
      {L"8.8.8.8", false},
      {L"2001:db8:1::99", true},
      {L"2001:db8:2::99", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.source));
    EXPECT_EQ(IsNearbySource(Ip(c.source), table), c.nearby);
  }
  EXPECT_FALSE(IsNearbySource(Ip(L"192.168.1.77"), {}));
}

// What a stranger may send from: sources that are no single computer are refused, one computer's
// IPv6 addresses count as one, and a receipt comes from where the message went.
TEST(InterfaceTable, SourcesAStrangerMayUse) {
  std::vector<InterfaceAddress> table = {{Ip(L"192.168.1.20"), 24, true, false},
                                         {Ip(L"10.9.9.9"), 31, true, false}};
  for (const wchar_t* unfit :
       {L"0.0.0.0", L"255.255.255.255", L"224.0.0.1", L"239.1.2.3", L"192.168.1.0",
        L"192.168.1.255", L"::", L"ff02::1", L"::ffff:127.0.0.1", L"::ffff:192.168.1.7"}) {
    SCOPED_TRACE(Narrow(unfit));
    EXPECT_TRUE(IsUnfitSource(Ip(unfit), table));
  }
  for (const wchar_t* fit : {L"192.168.1.7", L"192.168.2.255", L"10.9.9.8", L"127.0.0.1", L"::1",
                             L"fe80::1", L"2001:db8::1"}) {
    SCOPED_TRACE(Narrow(fit));
    EXPECT_FALSE(IsUnfitSource(Ip(fit), table));
  }

  IpAddress one = Ip(L"2001:db8:1:2:aaaa::1"), linkLocal = Ip(L"fe80::1");
  IpAddress otherZone = linkLocal;
  otherZone.scopeId = 7;
  EXPECT_EQ(SourceGroup(one), SourceGroup(Ip(L"2001:db8:1:2:bbbb::99")));
  EXPECT_NE(SourceGroup(one), SourceGroup(Ip(L"2001:db8:1:3::1")));
  EXPECT_EQ(SourceGroup(linkLocal), SourceGroup(Ip(L"fe80::2")));
  EXPECT_NE(SourceGroup(linkLocal), SourceGroup(otherZone));
  EXPECT_NE(SourceGroup(Ip(L"192.168.1.7")), SourceGroup(Ip(L"192.168.1.8")));

  struct Case {
    const wchar_t *source, *destination;
    bool answers;
  } cases[] = {
      {L"192.168.1.7", L"192.168.1.7", true},   {L"192.168.1.8", L"192.168.1.7", false},
      {L"192.168.1.8", L"192.168.1.255", true}, {L"10.0.0.8", L"192.168.1.255", false},
      {L"127.0.0.1", L"127.0.0.1", true},       {L"::ffff:192.168.1.7", L"192.168.1.7", true},
      {L"2001:db8::5", L"2001:db8::5", true},   {L"2001:db8::6", L"2001:db8::5", true},
      {L"2001:db8:0:1::5", L"2001:db8::5", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.source) + " answering " + Narrow(c.destination));
    EXPECT_EQ(AnswersDestination(Ip(c.source), Ip(c.destination), table), c.answers);
  }
}

TEST(TrustedNetworks, CidrListWithEachBadEntryNamed) {
  TrustedNetworkList list = ParseTrustedNetworks(
      L"10.1.0.0/16, 10.2.0.0/16;2001:db8:7::/48  10.3.0.1/32,,10.4.0.1/16 10.5.0.0 "
      L"0.0.0.0/0 10.6.0.0/33 fe80::/10x pcd/24 10.7.0.0/ 10.8.0.0/016 8.0.0.0/7 11.0.0.0/8 "
      L"2000::/15 2001::/16");
  ASSERT_EQ(list.networks.size(), 7u);
  EXPECT_EQ(FormatIpAddress(list.networks[2].address), L"2001:db8:7::");
  EXPECT_EQ(list.networks[2].prefixLength, 48);
  EXPECT_EQ(list.networks[4].prefixLength, 16);  // a leading zero is still 16
  EXPECT_EQ(list.badEntries, (std::vector<std::wstring>{L"10.4.0.1/16", L"10.5.0.0", L"0.0.0.0/0",
                                                        L"10.6.0.0/33", L"fe80::/10x", L"pcd/24",
                                                        L"10.7.0.0/", L"8.0.0.0/7", L"2000::/15"}));
  EXPECT_TRUE(IsNearbySource(*ParseIpLiteral(L"10.2.200.9"), list.networks));
  EXPECT_FALSE(IsNearbySource(*ParseIpLiteral(L"10.9.0.1"), list.networks));
  EXPECT_TRUE(IsNearbySource(*ParseIpLiteral(L"10.3.0.1"), list.networks));
  EXPECT_FALSE(IsNearbySource(*ParseIpLiteral(L"10.3.0.2"), list.networks));
  EXPECT_TRUE(ParseTrustedNetworks(L"").networks.empty());
}

}  // namespace
}  // namespace parvox
