// Which option bits a receiver honours from which sender, and what the pop-up says of them.
#include <gtest/gtest.h>

#include "network/NetworkDatagram.h"
#include "receiving/MessageOptions.h"

namespace parvox {
namespace {

TEST(MessageOptions, OnlyAKnownKeyMakesAMessageUrgent) {
  constexpr uint32_t kUrgent = kOptionUrgent, kAck = kOptionAcknowledgementRequested;
  struct Row {
    uint32_t options;
    Trust trust;
    HonouredOptions honoured;  // urgent, acknowledgement requested, urgent refused
  } rows[] = {
      {0, Trust::kVerified, {false, false, false}},
      {kUrgent, Trust::kVerified, {true, true, false}},  // urgent asks for acknowledgement too
      {kUrgent | kAck, Trust::kVerified, {true, true, false}},
      {kAck, Trust::kVerified, {false, true, false}},
      {kUrgent, Trust::kFirstContact, {false, true, true}},
      {kUrgent, Trust::kChangedKey, {false, true, true}},
      {kUrgent, Trust::kClockSkew, {false, true, true}},
      {kAck, Trust::kFirstContact, {false, true, false}},
      // Never shown: nothing to honour or to say.
      {kUrgent | kAck, Trust::kBadSignature, {false, false, false}},
      {kUrgent | kAck, Trust::kReplay, {false, false, false}},
      {kUrgent | kAck, Trust::kExpired, {false, false, false}},
      {kUrgent | kAck, Trust::kNotVerified, {false, false, false}},
      // Bits this version does not know change nothing.
      {0xFFFFFFFC, Trust::kVerified, {false, false, false}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.options << " from trust " << int(row.trust));
    EXPECT_EQ(HonourOptions(row.options, row.trust), row.honoured);
  }
}

TEST(MessageOptions, ThePopupSaysWhatIsHonouredAndWhatWasRefused) {
  EXPECT_EQ(OptionsNote({}), L"");
  EXPECT_EQ(OptionsNote({true, true, false}),
            L"URGENT: this message is urgent. The sender asks you to acknowledge it: press "
            L"Acknowledge once you have read it.");
  std::wstring refused = OptionsNote({false, true, true});
  EXPECT_EQ(refused.find(L"URGENT"), std::wstring::npos);
  EXPECT_NE(refused.find(L"asked for this message to be urgent"), std::wstring::npos);
  EXPECT_EQ(ExpiredNote(L"18:00"), L"This message expired at 18:00.");
}

}  // namespace
}  // namespace parvox
