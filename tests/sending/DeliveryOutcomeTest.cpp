// The log line of each recipient of the built-in send, from receipts and mailslot results.
#include <gtest/gtest.h>

#include "sending/DeliveryOutcome.h"

namespace parvox {
namespace {

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
  tracker.AddRecipient(L"old", 20);
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
  EXPECT_TRUE(tracker.AddReceipt(11, {L"PC1", L"bob"}));
  EXPECT_TRUE(tracker.AddReceipt(12, {L"PC1", L"bob"}));
  EXPECT_TRUE(tracker.AddReceipt(12, {L"PC2", L"alice"}));
  EXPECT_TRUE(tracker.AddReceipt(12, {L"pc2", L"alice"}));  // the same computer by another route
  EXPECT_TRUE(tracker.AddReceipt(16, {L"PC8", L""}));
  EXPECT_TRUE(tracker.AddReceipt(18, {L"PC4", L"carol"}));
  EXPECT_FALSE(tracker.AddReceipt(99, {L"PC3", L"eve"}));  // not an id of this send
  tracker.AddReceipt(20, {L"PC6", L"old", false});
  tracker.SetMailslotResult(otherKey, true, L"");
  tracker.AddOtherKeyReceipt(21, {L"PC3", L"eve"});
  tracker.AddOtherKeyReceipt(22, {L"PC7", L"dave"});
  tracker.AddReceipt(23, {L"PC1", L"bob"});
  tracker.AddReceipt(23, {L"PC6", L"old", false});
  tracker.AddOtherKeyReceipt(23, {L"PC7", L"dave"});

  std::vector<OutcomeLine> lines = tracker.Lines();
  ASSERT_EQ(lines.size(), 13u);
  struct Expected {
    const wchar_t* text;
    bool isError;
  } expected[] = {
      {L"Message delivered to bob (PC1).", false},
      {L"Message delivered to WORKGROUP on 2 computers: bob (PC1), alice (PC2).", false},
      {L"Message successfully sent to PC9.", false},
      {L"Error sending message to ghost. They may not be online. The network path was not found.",
       true},
      {L"Error sending message to pc7. They may not be online.", true},
      {L"Message delivered to 10.0.0.8 (PC8).", false},
      {L"Error sending message to ALL. Too long.", true},
      {L"Message delivered to carol (PC4).", false},
      {L"", false},  // a short write is counted but not reported
      {L"Message delivered to old (PC6), but the receipt was not signed.", false},
      {L"Message to eve not confirmed. The receipt from eve (PC3) came from a different key than "
       L"before, so it may not be them. The mailslot copy was sent.",
       false},
      {L"Message to dave not confirmed. The receipt from dave (PC7) came from a different key "
       L"than before, so it may not be them.",
       true},
      {L"Message delivered to HQ on 2 computers: bob (PC1), old (PC6). 1 of the receipts were not "
       L"signed. The receipt from dave (PC7) came from a different key than before, so it may not "
       L"be them. It was not counted.",
       false},
  };
  for (size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(lines[i].text, expected[i].text);
    EXPECT_EQ(lines[i].isError, expected[i].isError);
  }
}

// A flood of receipts with invented names: every line stays one line of bounded length.
TEST(DeliveryTracker, ReceiptsNameAtMostSixtyFourComputersOnOneLine) {
  DeliveryTracker tracker;
  tracker.AddRecipient(L"WORKGROUP", 1);
  tracker.AddRecipient(L"pc7", 2);
  for (int i = 0; i < 100; ++i) {
    tracker.AddReceipt(1, {L"PC" + std::to_wstring(i), L"u"});
    tracker.AddReceipt(1, {L"pc" + std::to_wstring(i), L"u"});  // the same computer again
  }
  tracker.AddReceipt(2, {L"PC7", L"bob (PC7).\r\nMessage from CEO" + std::wstring(300, L'!')});
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

}  // namespace
}  // namespace parvox
