// The relay's MQTT session against a scripted broker: what it writes, packet by packet, and what
// it reports, for connecting, flow control both ways, keep-alive, reconnection and the backoff.
#include <gtest/gtest.h>

#include <initializer_list>

#include "relay/ReconnectBackoff.h"
#include "relay/RelaySession.h"

namespace parvox {
namespace {

using Outcome = RelayPublished::Outcome;
using Status = RelayPublishResult::Status;

std::string Bytes(std::initializer_list<MqttPacket> packets) {
  std::string bytes;
  for (const MqttPacket& packet : packets) bytes += EncodeMqttPacket(packet);
  return bytes;
}

std::vector<std::string> Encoded(std::initializer_list<MqttPacket> packets) {
  std::vector<std::string> encoded;
  for (const MqttPacket& packet : packets) encoded.push_back(EncodeMqttPacket(packet));
  return encoded;
}

// What the session wrote, cut into packets by their fixed headers, to compare one by one.
std::vector<std::string> Written(RelaySession& session) {
  std::string bytes = session.TakeOutput();
  std::vector<std::string> packets;
  for (size_t start = 0; start < bytes.size();) {
    size_t at = start + 1, length = 0;
    for (int shift = 0;; shift += 7) {
      auto byte = static_cast<uint8_t>(bytes.at(at++));
      length |= size_t{byte & 0x7Fu} << shift;
      if (byte < 0x80) break;
    }
    packets.push_back(bytes.substr(start, at - start + length));
    start = at + length;
  }
  return packets;
}

template <typename Event>
std::vector<Event> EventsOf(RelaySession& session) {
  std::vector<Event> found;
  for (RelayEvent& event : session.TakeEvents()) {
    if (auto* each = std::get_if<Event>(&event)) found.push_back(std::move(*each));
  }
  return found;
}

MqttPublish Sent(std::string payload, uint16_t packetId, bool dup = false, uint32_t expiry = 600) {
  return MqttPublish{dup, false, 1,  "parvox/user/ALICE", packetId, {}, expiry,
                     {},  {},    {}, std::move(payload)};
}

RelayPublish Message(std::string payload) {
  return RelayPublish{"parvox/user/ALICE", std::move(payload), 600};
}

// A session without subscriptions, up once the broker accepts it with `connack`.
RelaySession UpSession(RelaySessionConfig config, MqttConnack connack = {}) {
  config.clientId = "pc7-bob";
  RelaySession session(std::move(config));
  session.Start(0);
  session.Receive(Bytes({connack}), 0);
  session.TakeEvents();
  return session;
}

TEST(RelaySession, ConnectsKeepingTheSessionThenSubscribes) {
  RelaySessionConfig config;
  config.clientId = "pc7-bob";
  config.userName = "bob";
  config.password = std::string("p\0w", 3);
  config.topicFilters = {"parvox/user/BOB", "parvox/everyone"};
  RelaySession session(config);

  EXPECT_EQ(session.Start(1000),
            EncodeMqttPacket(MqttConnect{"pc7-bob", false, 60, "bob", std::string("p\0w", 3),
                                         604800, 16, 131072}));
  EXPECT_EQ(Written(session), Encoded({}));
  session.Receive(Bytes({MqttConnack{false, 0, {}, {}, {}, {}, "auto-7"}}), 1100);
  EXPECT_EQ(Written(session),
            Encoded({MqttSubscribe{1, {{"parvox/user/BOB", 1}, {"parvox/everyone", 1}}}}));
  std::vector<RelayEvent> events = session.TakeEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_FALSE(std::get<RelayConnected>(events[0]).sessionPresent);
  EXPECT_FALSE(session.Up());

  // A refused filter is reported and the other still holds.
  session.Receive(Bytes({MqttSuback{1, {}, {0x01, 0x87}}}), 1200);
  EXPECT_TRUE(session.Up());
  std::vector<RelaySubscribed> subscribed = EventsOf<RelaySubscribed>(session);
  ASSERT_EQ(subscribed.size(), 1u);
  EXPECT_EQ(subscribed[0].refused, (std::vector<RelayRefusedFilter>{{"parvox/everyone", 0x87}}));

  // The session's next connection asks for the client id the broker assigned.
  session.ConnectionLost();
  EXPECT_EQ(session.Start(5000),
            EncodeMqttPacket(MqttConnect{"auto-7", false, 60, "bob", std::string("p\0w", 3), 604800,
                                         16, 131072}));
}

TEST(RelaySession, RefusalsAndBrokerMisbehaviourEndTheConnection) {
  const std::string connack = Bytes({MqttConnack{}});
  const std::string subscribe = EncodeMqttPacket(MqttSubscribe{1, {{"parvox/everyone", 1}}});
  const MqttPublish qos1{false, false, 1, "parvox/everyone", 5};
  struct Case {
    const char* name;
    std::string fromBroker;
    std::vector<std::string> written;  // after CONNECT
    std::string reason;                // of the last event, RelayRefused or RelayClosed
    std::string brokerText = {};
  } cases[] = {
      {"bad password",
       Bytes({MqttConnack{false, 0x86, {}, {}, {}, {}, {}, "ldap"}}),
       {},
       "the broker refused the connection: bad user name or password (0x86)",
       "ldap"},
      {"broker disconnects",
       connack + Bytes({MqttDisconnect{0x8E, {}, "ldap"}}),
       {subscribe},
       "the broker closed the connection: session taken over (0x8E)",
       "ldap"},
      {"malformed", connack + std::string("\x10\x00", 2),
       Encoded({MqttSubscribe{1, {{"parvox/everyone", 1}}}, MqttDisconnect{0x81}}),
       "the broker sent a malformed or oversized packet"},
      {"message before CONNACK", Bytes({MqttPublish{false, false, 0, "t"}}),
       Encoded({MqttDisconnect{0x82}}), "the broker sent a packet before accepting the connection"},
      {"CONNACK twice",
       connack + connack,
       {subscribe, Bytes({MqttDisconnect{0x82}})},
       "the broker accepted the connection a second time"},
      {"SUBACK for another id",
       connack + Bytes({MqttSuback{2, {}, {0}}}),
       {subscribe, Bytes({MqttDisconnect{0x82}})},
       "the broker answered a subscription that was not asked for"},
      {"SUBACK for two filters",
       connack + Bytes({MqttSuback{1, {}, {0, 0}}}),
       {subscribe, Bytes({MqttDisconnect{0x82}})},
       "the broker answered a subscription that was not asked for"},
      {"PUBACK for nothing sent",
       connack + Bytes({MqttPuback{9}}),
       {subscribe, Bytes({MqttDisconnect{0x82}})},
       "the broker acknowledged packet id 9, which was not sent"},
      {"packet id again while unacknowledged",
       connack + Bytes({qos1, qos1}),
       {subscribe, Bytes({MqttDisconnect{0x82}})},
       "the broker sent packet id 5 again before it was acknowledged"},
      {"no QoS 1", Bytes({MqttConnack{false, 0, {}, {}, 0}}), Encoded({MqttDisconnect{0x80}}),
       "the broker takes no acknowledged (QoS 1) messages, which the relay needs"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RelaySessionConfig config;
    config.topicFilters = {"parvox/everyone"};
    RelaySession session(config);
    session.Start(0);
    // A byte at a time: packets split anywhere are read the same.
    for (char byte : c.fromBroker) session.Receive(std::string_view(&byte, 1), 10);
    EXPECT_EQ(Written(session), c.written);
    std::vector<RelayEvent> events = session.TakeEvents();
    ASSERT_FALSE(events.empty());
    if (auto* refused = std::get_if<RelayRefused>(&events.back())) {
      EXPECT_EQ(refused->reason, c.reason);
      EXPECT_EQ(refused->brokerText, c.brokerText);
    } else {
      EXPECT_EQ(std::get<RelayClosed>(events.back()).reason, c.reason);
      EXPECT_EQ(std::get<RelayClosed>(events.back()).brokerText, c.brokerText);
    }
    EXPECT_FALSE(session.Up());
    EXPECT_FALSE(session.Tick(20));
    session.Receive(Bytes({MqttPingresp{}}), 30);  // ignored until the next Start
    EXPECT_EQ(Written(session), Encoded({}));
  }
}

TEST(RelaySession, PublishesWithinTheBrokersReceiveMaximumFromABoundedQueue) {
  RelaySessionConfig config;
  config.maxQueuedPublishes = 3;
  RelaySession session = UpSession(config, MqttConnack{false,
                                                       0,
                                                       {},
                                                       /*receiveMaximum*/ 2,
                                                       {},
                                                       /*maximumPacketSize*/ 100});

  RelayPublish first = Message("a");
  first.responseTopic = "parvox/user/BOB";
  first.correlationData = std::string("\0\1", 2);
  EXPECT_EQ(session.Publish(first, 0).token, 1u);
  EXPECT_EQ(session.Publish(Message("b"), 0).token, 2u);
  EXPECT_EQ(session.Publish(Message("c"), 0).token, 3u);
  EXPECT_EQ(session.Publish(Message("d"), 0).status, Status::kQueueFull);
  MqttPublish firstSent = Sent("a", 1);
  firstSent.responseTopic = first.responseTopic;
  firstSent.correlationData = first.correlationData;
  EXPECT_EQ(Written(session), Encoded({firstSent, Sent("b", 2)}));

  // "c" goes once a slot is free, its expiry shortened by the 2.5 seconds it waited.
  session.Receive(Bytes({MqttPuback{1, 0x10}}), 2500);
  EXPECT_EQ(Written(session), Encoded({Sent("c", 3, false, 597)}));
  session.Receive(Bytes({MqttPuback{2, 0x97}, MqttPuback{3}}), 2600);
  std::vector<RelayPublished> published = EventsOf<RelayPublished>(session);
  ASSERT_EQ(published.size(), 3u);
  EXPECT_EQ(published[0].token, 1u);
  EXPECT_EQ(published[0].outcome, Outcome::kNoSubscribers);
  EXPECT_EQ(published[1].token, 2u);
  EXPECT_EQ(published[1].outcome, Outcome::kRefused);
  EXPECT_EQ(published[1].reasonCode, 0x97);
  EXPECT_EQ(published[2].token, 3u);
  EXPECT_EQ(published[2].outcome, Outcome::kAccepted);

  EXPECT_EQ(session.Publish(RelayPublish{"parvox/+", "x"}, 3000).status, Status::kUnsendable);
  EXPECT_EQ(session.Publish(RelayPublish{"parvox/user/ALICE", "x", 0}, 3000).status,
            Status::kUnsendable);
  EXPECT_EQ(session.Publish(Message(std::string(100, 'x')), 3000).status, Status::kUnsendable);
  EXPECT_EQ(Written(session), Encoded({}));
}

TEST(RelaySession, QueuedMessagesThatOutliveTheirExpiryAreDroppedNotSent) {
  RelaySession session{RelaySessionConfig{}};
  EXPECT_EQ(session.Publish(Message("old"), 0).token, 1u);
  EXPECT_EQ(session.Publish(RelayPublish{"parvox/user/ALICE", "new", 900}, 0).token, 2u);
  session.Start(600'000);
  session.Receive(Bytes({MqttConnack{}}), 600'000);
  EXPECT_EQ(Written(session), Encoded({Sent("new", 1, false, 300)}));
  std::vector<RelayPublished> published = EventsOf<RelayPublished>(session);
  ASSERT_EQ(published.size(), 1u);
  EXPECT_EQ(published[0].token, 1u);
  EXPECT_EQ(published[0].outcome, Outcome::kExpired);
}

TEST(RelaySession, MessagesWaitForTheCallersAcknowledgement) {
  RelaySessionConfig config;
  config.receiveMaximum = 2;
  RelaySession session = UpSession(config);
  MqttPublish first{false, false,   1, "parvox/user/BOB", 7, {}, 300, {}, "parvox/user/ALICE",
                    "c1",  "signed"};
  session.Receive(
      Bytes({first, MqttPublish{false, false, 0, "parvox/everyone", 0, {}, {}, {}, {}, {}, "q0"}}),
      100);
  std::vector<RelayMessage> messages = EventsOf<RelayMessage>(session);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].topic, "parvox/user/BOB");
  EXPECT_EQ(messages[0].payload, "signed");
  EXPECT_EQ(messages[0].responseTopic, "parvox/user/ALICE");
  EXPECT_EQ(messages[0].correlationData, "c1");
  EXPECT_EQ(messages[0].messageExpiryInterval, 300u);
  EXPECT_EQ(messages[0].packetId, 7);
  EXPECT_EQ(messages[1].payload, "q0");
  EXPECT_EQ(messages[1].receipt, 0u);
  EXPECT_EQ(Written(session), Encoded({}));  // nothing acknowledged by itself

  session.Acknowledge(messages[0].receipt, 200);
  session.Acknowledge(messages[0].receipt, 200);
  EXPECT_EQ(Written(session), Encoded({MqttPuback{7}}));

  // Two unacknowledged are what we allowed.
  MqttPublish second = first, third = first, fourth = first;
  second.packetId = 8;
  third.packetId = 9;
  fourth.packetId = 10;
  session.Receive(Bytes({second, third}), 300);
  std::vector<RelayMessage> held = EventsOf<RelayMessage>(session);
  ASSERT_EQ(held.size(), 2u);

  // After a reconnection the broker sends 8 again; the old receipt must not acknowledge it.
  session.ConnectionLost();
  session.Start(400);
  MqttPublish again = second;
  again.dup = true;
  session.Receive(Bytes({MqttConnack{true}, again}), 400);
  std::vector<RelayMessage> resent = EventsOf<RelayMessage>(session);
  ASSERT_EQ(resent.size(), 1u);
  session.TakeOutput();
  session.Acknowledge(held[0].receipt, 500);
  EXPECT_EQ(Written(session), Encoded({}));
  session.Acknowledge(resent[0].receipt, 500);
  EXPECT_EQ(Written(session), Encoded({MqttPuback{8}}));

  // Beyond what we allowed, messages wait unread until one is acknowledged: a broker that resumes
  // a session may resend on top of it, and what is not read is held back by TCP.
  session.Receive(Bytes({third, fourth, MqttPublish{false, false, 1, "t", 11}}), 600);
  std::vector<RelayMessage> allowed = EventsOf<RelayMessage>(session);
  ASSERT_EQ(allowed.size(), 2u);
  EXPECT_FALSE(session.WantsInput());
  session.Acknowledge(allowed[0].receipt, 700);
  std::vector<RelayMessage> next = EventsOf<RelayMessage>(session);
  ASSERT_EQ(next.size(), 1u);
  EXPECT_EQ(next[0].packetId, 11);
  EXPECT_EQ(Written(session), Encoded({MqttPuback{9}}));
}

TEST(RelaySession, KeepAlivePingsAndGivesUpOnASilentBroker) {
  RelaySessionConfig config;
  config.clientId = "pc7";
  RelaySession session(config);
  session.Start(0);
  EXPECT_EQ(session.NextDeadlineMs(), 30'000u);  // waiting for CONNACK
  session.Receive(Bytes({MqttConnack{false, 0, {}, {}, {}, {}, {}, {}, /*keepAlive*/ 10}}), 50);
  EXPECT_EQ(session.NextDeadlineMs(), 10'000u);  // the broker's keep-alive, from the CONNECT
  EXPECT_TRUE(session.Tick(9'999));
  EXPECT_EQ(Written(session), Encoded({}));
  EXPECT_TRUE(session.Tick(10'000));
  EXPECT_EQ(Written(session), Encoded({MqttPingreq{}}));
  EXPECT_EQ(session.NextDeadlineMs(), 25'000u);
  session.Receive(Bytes({MqttPingresp{}}), 12'000);
  EXPECT_EQ(session.NextDeadlineMs(), 20'000u);
  session.Publish(Message("a"), 15'000);  // sending anything puts the next ping off
  EXPECT_EQ(session.NextDeadlineMs(), 25'000u);
  EXPECT_TRUE(session.Tick(25'000));
  EXPECT_EQ(Written(session), Encoded({Sent("a", 1), MqttPingreq{}}));
  EXPECT_TRUE(session.Tick(39'999));
  EXPECT_FALSE(session.Tick(40'000));
  std::vector<RelayClosed> closed = EventsOf<RelayClosed>(session);
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].reason, "the broker stopped answering");

  // A broker that never answers the CONNECT is given up on too.
  session.ConnectionLost();
  session.Start(50'000);
  EXPECT_TRUE(session.Tick(79'999));
  EXPECT_FALSE(session.Tick(80'000));
}

TEST(RelaySession, ReconnectionSendsUnacknowledgedPublishesAgain) {
  RelaySession session = UpSession({});
  session.Publish(Message("a"), 0);
  session.Publish(Message("b"), 0);
  session.Receive(Bytes({MqttPuback{1}}), 0);
  session.TakeOutput();
  session.TakeEvents();

  // The broker kept the session: the same packet id, marked as a duplicate.
  session.ConnectionLost();
  session.Publish(Message("c"), 0);  // waits while offline
  session.Start(1000);
  session.Receive(Bytes({MqttConnack{true}}), 1000);
  EXPECT_EQ(Written(session), Encoded({Sent("b", 2, true, 599), Sent("c", 3, false, 599)}));

  // The broker lost the session: both go again as new messages.
  session.ConnectionLost();
  session.Start(2000);
  session.Receive(Bytes({MqttConnack{false}}), 2000);
  EXPECT_EQ(Written(session), Encoded({Sent("b", 4, false, 598), Sent("c", 5, false, 598)}));
  session.Receive(Bytes({MqttPuback{4}, MqttPuback{5}}), 2100);
  std::vector<RelayPublished> published = EventsOf<RelayPublished>(session);
  ASSERT_EQ(published.size(), 2u);
  EXPECT_EQ(published[0].token, 2u);
  EXPECT_EQ(published[1].token, 3u);
}

TEST(ReconnectBackoff, DoublesToItsCapWithJitterAndStartsAgainAfterAStableConnection) {
  ReconnectBackoff backoff;
  struct Step {
    uint64_t random, wait;
  } steps[] = {
      {0, 500},     {1'000, 2'000}, {0, 2'000},         {0, 4'000},
      {0, 8'000},   {0, 16'000},    {0, 32'000},        {0, 64'000},
      {0, 128'000}, {0, 150'000},   {150'000, 300'000}, {150'001, 150'000},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(backoff.NextWaitMs(steps[i].random), steps[i].wait);
  }
  uint64_t anyWait = backoff.NextWaitMs(UINT64_MAX);
  EXPECT_GE(anyWait, 150'000u);
  EXPECT_LE(anyWait, 300'000u);

  backoff.Up(1'000);
  backoff.Down(60'999);  // dropped within a minute: keep backing off
  EXPECT_EQ(backoff.NextWaitMs(0), 150'000u);
  backoff.Up(100'000);
  backoff.Down(160'000);
  EXPECT_EQ(backoff.NextWaitMs(0), 500u);
}

}  // namespace
}  // namespace parvox
