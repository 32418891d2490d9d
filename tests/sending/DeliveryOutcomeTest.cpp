// The log line of each recipient of the built-in send, from receipts and mailslot results.
#include <gtest/gtest.h>

#include <cwctype>

#include "sending/AwaitedReceiptRecords.h"
#include "sending/DeliveryOutcome.h"
#include "sending/ScriptCommandLine.h"

namespace parvox {
namespace {

// A receipt by the key known for its sender, or (with a fingerprint) by one not known yet.
DeliveryReceipt Receipt(std::wstring computer, std::wstring user, std::string key = "k",
                        std::wstring unknownKeyFingerprint = L"") {
  std::wstring sender = computer + L"\\" + user;
  for (wchar_t& c : sender) c = static_cast<wchar_t>(std::towupper(c));
  bool known = unknownKeyFingerprint.empty();
  return {std::move(computer), std::move(user), sender,
          std::move(key),      known,           std::move(unknownKeyFingerprint)};
}

TEST(DeliveryTracker, BestOutcomePerRecipientInListOrder) {
  DeliveryTracker tracker;
  size_t bob = tracker.AddRecipient(L"bob", 11);
  size_t domain = tracker.AddRecipient(L"WORKGROUP", 12);
  size_t machine = tracker.AddRecipient(L"PC9", 13);
  size_t gone = tracker.AddRecipient(L"ghost", 14);
  size_t quiet = tracker.AddRecipient(L"pc7", 15);
  tracker.AddRecipient(L"10.0.0.8", 16);
  size_t refused = tracker.AddRecipient(L"ALL", 17);
  size_t refusedButHeard = tracker.AddRecipient(L"ALL", 18);
  size_t shortWrite = tracker.AddRecipient(L"pc5", 19);
  tracker.AddRecipient(L"new", 20);
  size_t otherKey = tracker.AddRecipient(L"eve", 21);
  tracker.AddRecipient(L"dave", 22);
  tracker.AddRecipient(L"HQ", 23);
  tracker.SetMailslotLine(refused, {L"Error sending message to ALL. Too long.", true});
  tracker.SetMailslotLine(refusedButHeard, {L"Error sending message to ALL. Too long.", true});
  tracker.SetMailslotLine(shortWrite, {L"", false});
  tracker.SetMailslotResult(bob, false, L"The network path was not found.");
  tracker.SetMailslotResult(domain, true, L"");
  tracker.SetMailslotResult(machine, true, L"");
  tracker.SetMailslotResult(gone, false, L"The network path was not found.");
  tracker.SetMailslotResult(quiet, false, L"");
  EXPECT_TRUE(tracker.AddReceipt(11, Receipt(L"PC1", L"bob")));
  EXPECT_TRUE(tracker.AddReceipt(12, Receipt(L"PC1", L"bob")));
  // A receipt in a borrowed name, first, hides nothing.
  EXPECT_TRUE(tracker.AddReceipt(12, Receipt(L"PC2", L"alice", "mallory", L"MMMM-MMMM-MMMM-MMMM")));
  EXPECT_TRUE(tracker.AddReceipt(12, Receipt(L"PC2", L"alice")));
  EXPECT_TRUE(tracker.AddReceipt(12, Receipt(L"pc2", L"alice")));  // the same, by another route
  EXPECT_TRUE(tracker.AddReceipt(16, Receipt(L"PC8", L"")));
  EXPECT_TRUE(tracker.AddReceipt(18, Receipt(L"PC4", L"carol")));
  EXPECT_FALSE(tracker.AddReceipt(99, Receipt(L"PC3", L"eve")));  // not an id of this send
  tracker.AddReceipt(20, Receipt(L"PC6", L"new", "n", L"NNNN-NNNN-NNNN-NNNN"));
  tracker.SetMailslotResult(otherKey, true, L"");
  tracker.AddOtherKeyReceipt(21, Receipt(L"PC3", L"eve"));
  tracker.AddOtherKeyReceipt(22, Receipt(L"PC7", L"dave"));
  tracker.AddReceipt(23, Receipt(L"PC1", L"bob"));
  tracker.AddReceipt(23, Receipt(L"PC6", L"new", "n", L"NNNN-NNNN-NNNN-NNNN"));
  tracker.AddOtherKeyReceipt(23, Receipt(L"PC7", L"dave"));

  std::vector<OutcomeLine> lines = tracker.Lines();
  ASSERT_EQ(lines.size(), 13u);
  struct Expected {
    const wchar_t* text;
    bool isError;
  } expected[] = {
      {L"Message delivered to bob (PC1).", false},
      {L"Message delivered to WORKGROUP on 2 computers: bob (PC1), alice (PC2). alice (PC2) "
       L"answered with a key not known here yet (MMMM-MMMM-MMMM-MMMM), so the receipt does not "
       L"prove it was them.",
       false},
      {L"Message successfully sent to PC9.", false},
      {L"Error sending message to ghost. They may not be online. The network path was not found.",
       true},
      {L"Error sending message to pc7. They may not be online.", true},
      {L"Message delivered to 10.0.0.8 (PC8).", false},
      {L"Error sending message to ALL. Too long.", true},
      {L"Message delivered to carol (PC4).", false},
      {L"", false},  // a short write is counted but not reported
      {L"Message to new not verified: new (PC6) answered with a key not known here yet "
       L"(NNNN-NNNN-NNNN-NNNN), so the receipt does not prove it was them.",
       false},
      {L"Message to eve not confirmed. The receipt from eve (PC3) came from a different key than "
       L"before, so it may not be them. The mailslot copy was sent.",
       false},
      {L"Message to dave not confirmed. The receipt from dave (PC7) came from a different key "
       L"than before, so it may not be them.",
       true},
      {L"Message delivered to bob (PC1). new (PC6) answered with a key not known here yet "
       L"(NNNN-NNNN-NNNN-NNNN), so the receipt does not prove it was them. The receipt from dave "
       L"(PC7) came from a different key than before, so it may not be them. It was not counted.",
       false},
  };
  for (size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(lines[i].text, expected[i].text);
    EXPECT_EQ(lines[i].isError, expected[i].isError);
  }
  // Reached, but nothing proves by whom: a script hears "not every one confirmed it".
  EXPECT_EQ(ExitCodeOf({lines[9]}), kExitUnconfirmed);
  EXPECT_EQ(ExitCodeOf({lines[0], lines[12]}), kExitDelivered);
}

// A flood of receipts with invented names: every line stays one line of bounded length.
TEST(DeliveryTracker, ReceiptsNameAtMostSixtyFourComputersOnOneLine) {
  DeliveryTracker tracker;
  tracker.AddRecipient(L"WORKGROUP", 1);
  tracker.AddRecipient(L"pc7", 2);
  for (int i = 0; i < 100; ++i) {
    tracker.AddReceipt(1, Receipt(L"PC" + std::to_wstring(i), L"u"));
    tracker.AddReceipt(1, Receipt(L"pc" + std::to_wstring(i), L"u"));  // the same computer again
  }
  tracker.AddReceipt(2,
                     Receipt(L"PC7", L"bob (PC7).\r\nMessage from CEO" + std::wstring(300, L'!')));
  std::vector<OutcomeLine> lines = tracker.Lines();
  std::wstring named = L"u (PC0)";
  for (int i = 1; i < 64; ++i) named += L", u (PC" + std::to_wstring(i) + L")";
  EXPECT_EQ(lines[0].text,
            L"Message delivered to WORKGROUP on 100 computers: " + named + L" and 36 more.");
  std::wstring user = L"bob (PC7). \u00B6 Message from CEO" + std::wstring(300, L'!');
  EXPECT_EQ(lines[1].text, L"Message delivered to " + user.substr(0, 256) + L"... (PC7).");
}

TEST(DeliveryTracker, RefusalReasons) {
  EXPECT_EQ(NetworkRefusalReason(EncodeError::kTextTooLong, 60001),
            L"The message is too long for the network (60001 bytes; at most 60000).");
  EXPECT_EQ(NetworkRefusalReason(EncodeError::kNone, 5), L"");
}

// What a script's send leaves for the window: read back whole, a cut record ending the reading.
TEST(AwaitedReceiptRecords, ReadBackWholeUntilARecordIsCut) {
  AwaitedReceiptRecord bob{7, std::string(32, 'd'), "bob", "BOB", 1000, 2000};
  AwaitedReceiptRecord domain{~0ull, std::string(32, 'e'), std::string(1024, 'w'), "", 1, ~0ull};
  std::string bytes = EncodeAwaitedReceipt(bob) + EncodeAwaitedReceipt(domain);
  EXPECT_EQ(DecodeAwaitedReceipts(bytes), (std::vector{bob, domain}));
  for (size_t cut = 1; cut < EncodeAwaitedReceipt(domain).size(); ++cut) {
    SCOPED_TRACE(cut);
    EXPECT_EQ(DecodeAwaitedReceipts(bytes.substr(0, bytes.size() - cut)), std::vector{bob});
  }
  AwaitedReceiptRecord tooLong = bob;
  tooLong.name.assign(1025, 'n');
  EXPECT_EQ(EncodeAwaitedReceipt(tooLong), "");
}

}  // namespace
}  // namespace parvox
