// The trust decisions for a signed message and a signed receipt, as tables, and the words the
// user reads for them.
#include <gtest/gtest.h>

#include <cstdint>

#include "identity/SenderTrust.h"

namespace parvox {
namespace {

TEST(SenderTrust, DecisionTable) {
  SenderKeys keys;
  keys.Remember(L"pca\\alice", "alice-key");
  keys.Give(L"pcb\\bob", "bob-given");
  keys.Remember(L"pcb\\bob", "bob-remembered");  // never overrides the given one
  struct Case {
    const char* name;
    SignedArrival arrival;
    Trust expected;
  } cases[] = {
      {"known key", {L"pca\\alice", "alice-key", true, 0, false}, Trust::kVerified},
      {"first contact", {L"pcc\\carol", "carol-key", true, 0, false}, Trust::kFirstContact},
      {"changed key", {L"pca\\alice", "mallory-key", true, 0, false}, Trust::kChangedKey},
      {"given key matches", {L"pcb\\bob", "bob-given", true, 0, false}, Trust::kVerified},
      {"remembered key against a given one",
       {L"pcb\\bob", "bob-remembered", true, 0, false},
       Trust::kChangedKey},
      {"bad signature", {L"pca\\alice", "alice-key", false, 0, false}, Trust::kBadSignature},
      {"bad signature beats everything",
       {L"pca\\alice", "x", false, 9999, true},
       Trust::kBadSignature},
      {"ten minutes late is still recent",
       {L"pca\\alice", "alice-key", true, -600, false},
       Trust::kVerified},
      {"over ten minutes late", {L"pca\\alice", "alice-key", true, -601, false}, Trust::kClockSkew},
      {"over ten minutes ahead",
       {L"pca\\alice", "alice-key", true, 3600, false},
       Trust::kClockSkew},
      {"replay within the window", {L"pca\\alice", "alice-key", true, 0, true}, Trust::kReplay},
      {"an old message sent again is shown as skewed, not dropped",
       {L"pca\\alice", "alice-key", true, -86400, true},
       Trust::kClockSkew},
      {"the earliest time there is",
       {L"pca\\alice", "k", true, INT64_MIN, false},
       Trust::kClockSkew},
      {"the latest time there is", {L"pca\\alice", "k", true, INT64_MAX, false}, Trust::kClockSkew},
      // With an expiry: any age until it passes, never after.
      {"held a day, not expired",
       {L"pca\\alice", "alice-key", true, -86400, false, 1},
       Trust::kVerified},
      {"expiring this second", {L"pca\\alice", "alice-key", true, -60, false, 0}, Trust::kVerified},
      {"expired a second ago", {L"pca\\alice", "alice-key", true, -61, false, -1}, Trust::kExpired},
      {"expired and sent again",
       {L"pca\\alice", "alice-key", true, -61, true, -1},
       Trust::kExpired},
      {"held, then sent again",
       {L"pca\\alice", "alice-key", true, -86400, true, 60},
       Trust::kReplay},
      {"expiring, but from the future",
       {L"pca\\alice", "alice-key", true, 601, false, 700},
       Trust::kClockSkew},
      {"expired at the earliest time there is",
       {L"pca\\alice", "k", true, INT64_MIN, false, INT64_MIN},
       Trust::kExpired},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecideTrust(c.arrival, keys).trust, c.expected);
  }
  TrustDecision changed = DecideTrust({L"pcb\\bob", "other", true, 0, false}, keys);
  EXPECT_EQ(changed.known, (SenderKeys::Known{"bob-given", true}));
  EXPECT_EQ(DecideTrust({L"pca\\alice", "k", true, -601, false}, keys).skewMinutes, 11);
  EXPECT_EQ(DecideTrust({L"pca\\alice", "k", true, INT64_MIN, false}, keys).skewMinutes,
            153722867280912931);
  EXPECT_EQ(DecideTrust({L"pca\\alice", "k", true, INT64_MAX, false}, keys).skewMinutes,
            153722867280912931);

  // The wire's time is any unsigned 64-bit number: far off stays far off, on its own side.
  struct SkewCase {
    uint64_t sentAt, now;
    int64_t skew;
  } skews[] = {
      {1700000060, 1700000000, 60},        {0, 1700000000, -1700000000},
      {UINT64_MAX, 1700000000, INT64_MAX}, {uint64_t{1} << 63, 0, INT64_MAX},
      {0, uint64_t{1} << 63, INT64_MIN},   {0, UINT64_MAX, INT64_MIN},
  };
  for (const SkewCase& c : skews) {
    SCOPED_TRACE(std::to_string(c.sentAt) + " at " + std::to_string(c.now));
    EXPECT_EQ(ClockSkewSeconds(c.sentAt, c.now), c.skew);
  }

  // A receipt's key meets the same known-key rule.
  struct ReceiptCase {
    const wchar_t* sender;
    const char* key;
    Trust expected;
  } receipts[] = {
      {L"pca\\alice", "alice-key", Trust::kVerified},
      {L"pca\\alice", "mallory-key", Trust::kChangedKey},
      {L"pcb\\bob", "bob-remembered", Trust::kChangedKey},
      {L"pcc\\carol", "carol-key", Trust::kFirstContact},
  };
  for (const ReceiptCase& c : receipts) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(DecideReceiptTrust(c.sender, c.key, keys).trust, c.expected);
  }
}

TEST(SenderTrust, RememberedKeysAndWhichOneANewSenderReplaces) {
  std::string key(65, 'k');
  key[0] = '\x04';
  std::wstring text = FormatRememberedKey({key, true, 0});
  struct Case {
    std::wstring stored;
    std::optional<RememberedKey> expected;
  } cases[] = {
      {text, RememberedKey{key, true, 0}},  // as older versions wrote it: never replaced
      {text + L" once 1733820000", RememberedKey{key, false, 1733820000}},
      {text + L" once ", std::nullopt},
      {text + L" once -5", std::nullopt},
      {text + L" once 12345678901234567890", std::nullopt},
      {text + L" twice 5", std::nullopt},
      {L"", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.stored.size());
    EXPECT_EQ(ParseRememberedKey(c.stored), c.expected);
    if (c.expected) {
      EXPECT_EQ(FormatRememberedKey(*c.expected), c.stored);
    }
  }
  std::vector<std::pair<std::wstring, RememberedKey>> stored = {
      {L"a", {key, true, 0}}, {L"b", {key, false, 300}}, {L"c", {key, false, 200}}};
  EXPECT_EQ(SenderToReplace(stored), 2u) << "the oldest seen only once";
  stored.erase(stored.begin() + 1, stored.end());
  EXPECT_EQ(SenderToReplace(stored), std::nullopt) << "keys seen again are never replaced";
}

TEST(SenderTrust, EveryStateSaysWhoAndHowSure) {
  Verification v{Trust::kVerified, L"alice", L"PCA", L"K7QF-2M9D-XW4A-83JT", L"", false, 0};
  EXPECT_EQ(VerificationText(v), L"Verified: alice on PCA");
  v.trust = Trust::kFirstContact;
  EXPECT_NE(VerificationText(v).find(L"First message from alice on PCA"), std::wstring::npos);
  EXPECT_NE(VerificationText(v).find(L"K7QF-2M9D-XW4A-83JT"), std::wstring::npos);
  v.keyMemory = Verification::KeyMemory::kTooManyNewSenders;
  EXPECT_NE(VerificationText(v).find(L"not remembered yet"), std::wstring::npos);
  v.trust = Trust::kChangedKey;
  v.knownFingerprint = L"2222-3333-4444-5555";
  std::wstring warning = VerificationText(v);
  EXPECT_EQ(warning.rfind(L"WARNING: this may not be alice on PCA.", 0), 0u);
  EXPECT_NE(warning.find(L"2222-3333-4444-5555"), std::wstring::npos);
  EXPECT_NE(warning.find(L"K7QF-2M9D-XW4A-83JT"), std::wstring::npos);
  v.trust = Trust::kClockSkew;
  v.skewMinutes = 42;
  EXPECT_NE(VerificationText(v).find(L"42 minutes away from this computer's clock"),
            std::wstring::npos);
  EXPECT_EQ(VerificationWord(Trust::kChangedKey), L"KEY CHANGED");
  EXPECT_EQ(VerificationWord(Trust::kNotVerified), L"not verified");
}

}  // namespace
}  // namespace parvox
