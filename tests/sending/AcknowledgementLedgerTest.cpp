// Who has not acknowledged, bounds on what a sender keeps, and the file it keeps it in.
#include <gtest/gtest.h>

#include "sending/AcknowledgementLedger.h"

namespace parvox {
namespace {

AcknowledgementRequest Request(uint64_t send, uint64_t id, std::wstring address, bool domain,
                               std::vector<AcknowledgingPerson> receivers = {}) {
  return {send, id,          std::string(32, 'd'), address, domain ? L"" : address, domain,
          1000, 2000 + send, std::move(receivers), {}};
}

const AcknowledgingPerson kBob{L"PCB\\BOB", L"bob (PCB)"}, kCarol{L"PCC\\CAROL", L"carol (PCC)"},
    kAlice{L"PCA\\ALICE", L"alice (PCA)"};

TEST(AcknowledgementLedger, SaysWhoHasNotAcknowledgedUntilEveryoneHas) {
  AcknowledgementLedger ledger;
  ledger.Open(1);  // its recipients are still being added
  ledger.Await(Request(1, 10, L"bob", false, {kBob}));
  ledger.Await(Request(1, 11, L"dave", false));  // no receipt: the address is awaited
  ledger.Await(Request(1, 12, L"WORKGROUP", true, {kAlice, kCarol}));
  ledger.Await(Request(2, 20, L"EMPTYDOMAIN", true));
  auto outstanding = [&](uint64_t send) {
    for (const auto& state : ledger.Sends()) {
      if (state.send == send) return state.outstanding;
    }
    return std::vector<std::wstring>{L"(no such send)"};
  };
  EXPECT_EQ(outstanding(1),
            (std::vector<std::wstring>{L"bob (PCB)", L"dave", L"alice (PCA)", L"carol (PCC)"}));
  EXPECT_EQ(outstanding(2), std::vector<std::wstring>{L"EMPTYDOMAIN"});

  EXPECT_TRUE(ledger.Acknowledge(10, kBob));
  EXPECT_FALSE(ledger.Acknowledge(10, kBob));  // twice counts once
  EXPECT_FALSE(ledger.Acknowledge(99, kBob));
  // In a domain each computer counts, also one whose receipt never came.
  EXPECT_TRUE(ledger.Acknowledge(12, kCarol));
  EXPECT_TRUE(ledger.Acknowledge(12, kBob));
  EXPECT_EQ(outstanding(1), (std::vector<std::wstring>{L"dave", L"alice (PCA)"}));
  ledger.Acknowledge(11, {L"PCD\\DAVE", L"dave (PCD)"});
  ledger.Acknowledge(12, kAlice);
  EXPECT_FALSE(ledger.TakeIfComplete(1)) << "everyone so far is not everyone while it is open";
  EXPECT_TRUE(ledger.Seal(1));
  EXPECT_EQ(ledger.Sends().size(), 1u) << "only the other send is left";

  // Expiry takes the send out with who never acknowledged.
  EXPECT_TRUE(ledger.TakeExpired(2002).empty());
  auto expired = ledger.TakeExpired(2003);
  ASSERT_EQ(expired.size(), 1u);
  EXPECT_EQ(expired[0].outstanding, std::vector<std::wstring>{L"EMPTYDOMAIN"});
  EXPECT_TRUE(ledger.Empty());
}

TEST(AcknowledgementLedger, BoundedWhateverArrives) {
  AcknowledgementLedger ledger;
  for (uint64_t id = 1; id <= AcknowledgementLedger::kMaxRequests + 10; ++id) {
    ledger.Await(Request(id, id, L"bob", false));
  }
  EXPECT_EQ(ledger.Requests().size(), AcknowledgementLedger::kMaxRequests);
  EXPECT_EQ(ledger.Find(1), nullptr);  // the ones expiring first made room
  // A domain: strangers' names fill only their own share; those awaited always count.
  ledger.Await(Request(1, 5000, L"WORKGROUP", true, {kAlice}));
  size_t counted = 0;
  for (int i = 0; i < 100; ++i) {
    counted += ledger.Acknowledge(5000, {L"PC\\" + std::to_wstring(i), L"x"});
  }
  EXPECT_EQ(counted, AcknowledgementLedger::kMaxPeople);
  EXPECT_TRUE(ledger.Acknowledge(5000, kAlice));
  EXPECT_EQ(ledger.Find(5000)->checksLeft, 1024u) << "a whole domain may answer";
  EXPECT_EQ(ledger.Find(4000)->checksLeft, 16u);
}

TEST(AcknowledgementLedger, LinesNameAtMostSixtyFour) {
  EXPECT_EQ(AcknowledgedLine(L"bob (PCB)", L"09:14", L"09:20"),
            L"bob (PCB) acknowledged your message of 09:14 at 09:20.");
  EXPECT_EQ(OutstandingLine(L"09:14", {L"bob (PCB)", L"dave"}),
            L"Your message of 09:14 is not acknowledged yet by bob (PCB), dave.");
  EXPECT_EQ(OutstandingLine(L"09:14", {}), L"Everyone acknowledged your message of 09:14.");
  std::vector<std::wstring> many(70, L"x");
  std::wstring line = ExpiredUnacknowledgedLine(L"09:14", many);
  EXPECT_TRUE(
      line.starts_with(L"Your message of 09:14 expired without an acknowledgement from x, "));
  EXPECT_TRUE(line.ends_with(L", x and 6 more."));
}

TEST(AcknowledgementLedger, FileReadsBackWholeRecordsUntilOneIsCut) {
  AcknowledgementRequest bob = Request(1, 10,
                                       L"b\x00F6"
                                       L"b",
                                       false, {kBob});
  bob.acknowledged = {kCarol};
  AcknowledgementRequest longest =
      Request(~0ull, ~0ull, std::wstring(1024, L'\xFFFF'), true, std::vector(64, kAlice));
  std::string bytes = EncodeAcknowledgementRequest(bob) + EncodeAcknowledgementRequest(longest);
  EXPECT_EQ(DecodeAcknowledgementRequests(bytes), (std::vector{bob, longest}));
  for (size_t cut = 1; cut < EncodeAcknowledgementRequest(longest).size(); cut += 7) {
    EXPECT_EQ(DecodeAcknowledgementRequests(bytes.substr(0, bytes.size() - cut)), std::vector{bob});
  }
  std::string badFlag = EncodeAcknowledgementRequest(bob);
  badFlag[64] = '\x02';
  EXPECT_TRUE(DecodeAcknowledgementRequests(badFlag).empty());
  // Kept whole, cut to the bounds: a stranger's long name never loses the rest of the record.
  AcknowledgementRequest tooMuch = bob;
  tooMuch.receivers.assign(65, {std::wstring(2049, L'n'), L"x"});
  tooMuch.digest.clear();  // a message that could not go
  std::vector<AcknowledgementRequest> back =
      DecodeAcknowledgementRequests(EncodeAcknowledgementRequest(tooMuch));
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].receivers.size(), 64u);
  EXPECT_EQ(back[0].receivers[0].sender.size(), 1024u);
  EXPECT_EQ(back[0].digest, "");
}

}  // namespace
}  // namespace parvox
