// The network path's platform side under Wine: datagrams over real loopback sockets, a taken
// port, the interface table and host-name lookups.
#include <gtest/gtest.h>

#include "identity/LocalIdentity.h"
#include "network/HostLookup.h"
#include "network/LocalInterfaces.h"
#include "network/Neighbourhood.h"
#include "network/TrustedNetworks.h"
#include "network/UdpEndpoint.h"

namespace parvox {
namespace {

// Only a guard against hanging the suite when something never arrives, not a speed check.
constexpr DWORD kPatienceMs = 10000;

const IpAddress kLoopback = Ipv4Address(0x7F000001);

std::optional<ReceivedDatagram> WaitForDatagram(UdpEndpoint& endpoint) {
  if (WaitForSingleObject(endpoint.Event(), kPatienceMs) != WAIT_OBJECT_0) return std::nullopt;
  return endpoint.Receive();
}

TEST(UdpEndpoint, TwoEndpointsExchangeDatagramsOnLoopback) {
  UdpEndpoint sender, receiver;
  ASSERT_EQ(sender.Open(0), UdpEndpoint::OpenResult::kOpen);
  ASSERT_EQ(receiver.Open(0), UdpEndpoint::OpenResult::kOpen);
  ASSERT_NE(sender.Port(), receiver.Port());
  EXPECT_FALSE(receiver.Receive());  // nothing waits yet

  // Also a send to a port where nobody listens: its ICMP answer must not break the receive.
  NetworkEndpoint nobody{kLoopback, 0};
  {
    UdpEndpoint gone;
    ASSERT_EQ(gone.Open(0), UdpEndpoint::OpenResult::kOpen);
    nobody.port = gone.Port();
  }
  EXPECT_EQ(sender.SendTo(nobody, "lost"), 0);

  std::string big(65507, '\xAB');  // the largest IPv4 UDP payload
  for (const std::string& bytes : {std::string("one\0two", 7), big}) {
    ASSERT_EQ(sender.SendTo({kLoopback, receiver.Port()}, bytes), 0);
    std::optional<ReceivedDatagram> datagram = WaitForDatagram(receiver);
    ASSERT_TRUE(datagram);
    EXPECT_EQ(datagram->bytes, bytes);
    EXPECT_EQ(datagram->source.address, kLoopback);
    EXPECT_EQ(datagram->source.port, sender.Port());
    EXPECT_FALSE(receiver.Receive());
  }

  // The answer goes back to the source, as a receipt does.
  ASSERT_EQ(receiver.SendTo({kLoopback, sender.Port()}, "receipt"), 0);
  std::optional<ReceivedDatagram> answer = WaitForDatagram(sender);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->bytes, "receipt");
}

TEST(UdpEndpoint, PortTakenIsReportedAndTheHolderKeepsIt) {
  UdpEndpoint holder, second;
  ASSERT_EQ(holder.Open(0), UdpEndpoint::OpenResult::kOpen);
  EXPECT_EQ(second.Open(holder.Port()), UdpEndpoint::OpenResult::kPortTaken);
  EXPECT_FALSE(second.IsOpen());
  EXPECT_NE(second.SendTo({kLoopback, holder.Port()}, "x"), 0);

  UdpEndpoint sender;
  ASSERT_EQ(sender.Open(0), UdpEndpoint::OpenResult::kOpen);
  ASSERT_EQ(sender.SendTo({kLoopback, holder.Port()}, "still mine"), 0);
  std::optional<ReceivedDatagram> datagram = WaitForDatagram(holder);
  ASSERT_TRUE(datagram);
  EXPECT_EQ(datagram->bytes, "still mine");
}

TEST(LocalNetwork, InterfaceTableAndIdentityAreSensible) {
  std::vector<InterfaceAddress> table = ReadInterfaceTable();
  for (const InterfaceAddress& entry : table) {
    std::wstring text = FormatIpAddress(entry.address);
    SCOPED_TRACE(std::string(text.begin(), text.end()));
    EXPECT_LE(entry.prefixLength, entry.address.family == IpAddress::Family::kV4 ? 32 : 128);
    if (entry.loopback) {
      EXPECT_TRUE(IsLoopback(entry.address));
    }
  }
  UdpEndpoint endpoint;
  ASSERT_EQ(endpoint.Open(0), UdpEndpoint::OpenResult::kOpen);
  for (const IpAddress& destination : BroadcastDestinations(table)) {
    EXPECT_FALSE(IsLoopback(destination));
    // Refused without SO_BROADCAST.
    EXPECT_EQ(endpoint.SendTo({destination, endpoint.Port()}, "hello subnet"), 0);
  }

  LocalIdentity identity = ReadLocalIdentity(table);
  EXPECT_FALSE(identity.computerName.empty());
  EXPECT_FALSE(identity.userName.empty());
  for (const std::wstring& alias : identity.aliases) EXPECT_FALSE(alias.empty());

  // A trusted network's computers are neighbours; its network and broadcast addresses are not.
  Neighbourhood trusting(ParseTrustedNetworks(L"10.251.0.0/16").networks);
  for (auto [source, accepted] : {std::pair{L"10.251.3.4", true},
                                  {L"10.251.0.0", false},
                                  {L"10.251.255.255", false},
                                  {L"10.252.3.4", false}}) {
    SCOPED_TRACE(std::string(source, source + wcslen(source)));
    EXPECT_EQ(trusting.AcceptsSource(*ParseIpLiteral(source)), accepted);
  }
}

TEST(HostLookup, ResolvesWithoutBlockingAndCanBeAbandoned) {
  {
    HostLookup lookup;
    lookup.Start(7, L"localhost");
    lookup.Start(8, L"127.0.0.1");
    std::vector<HostLookup::Result> results;
    while (results.size() < 2 &&
           WaitForSingleObject(lookup.Event(), kPatienceMs) == WAIT_OBJECT_0) {
      for (HostLookup::Result& result : lookup.TakeResults()) results.push_back(result);
    }
    ASSERT_EQ(results.size(), 2u);
    for (const HostLookup::Result& result : results) {
      SCOPED_TRACE(result.ticket);
      EXPECT_TRUE(result.ticket == 7 || result.ticket == 8);
      ASSERT_TRUE(result.address);
      EXPECT_TRUE(IsLoopback(*result.address));
    }
    EXPECT_NE(results[0].ticket, results[1].ticket);
  }
  // Gone before its lookups end: nothing waits for them, and nothing touches the freed object.
  for (int i = 0; i < 20; ++i) {
    HostLookup abandoned;
    abandoned.Start(1, L"localhost");
    abandoned.Start(2, L"no-such-host.invalid");
  }
}

}  // namespace
}  // namespace parvox
