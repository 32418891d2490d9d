// Control characters and the texts of a received message.
#include <gtest/gtest.h>

#include "components/VisibleText.h"
#include "receiving/ReceivedText.h"

namespace parvox {
namespace {

TEST(PlainText, ControlsBecomeQuestionMarksAndLineBreaksCrLf) {
  struct Case {
    std::wstring text, plain, singleLine;
  } cases[] = {
      {L"a\tb", L"a\tb", L"a\tb"},
      {L"one\r\ntwo\nthree\rfour", L"one\r\ntwo\r\nthree\r\nfour",
       L"one \u00B6 two \u00B6 three \u00B6 four"},
      {L"\r\n\r\n", L"\r\n\r\n", L" \u00B6  \u00B6 "},
      {L"bell\a esc\x1B[31m del\x7F c1\x85 nul", L"bell? esc?[31m del? c1? nul",
       L"bell? esc?[31m del? c1? nul"},
      {L"caf\u00E9 \u20AC \u4E2D", L"caf\u00E9 \u20AC \u4E2D", L"caf\u00E9 \u20AC \u4E2D"},
      // Bidirectional overrides, isolates, marks, separators and a tag character (outside the
      // BMP) could reorder or hide what follows.
      {L"\u202Egnp.exe\u2066x\u2069\u200F\u2028\u2029\U000E0041 \U0001F600",
       L"?gnp.exe?x????? \U0001F600", L"?gnp.exe?x????? \U0001F600"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.text.size() << " characters");
    EXPECT_EQ(PlainText(c.text), c.plain);
    EXPECT_EQ(SingleLineText(c.text), c.singleLine);
  }
}

TEST(ShownName, OneLineCutAtItsLimit) {
  std::wstring longest(kMaxShownNameChars, L'n');
  EXPECT_EQ(ShownName(L"bob\r\n(PC7)"), L"bob \u00B6 (PC7)");
  EXPECT_EQ(ShownName(longest), longest);
  EXPECT_EQ(ShownName(longest + L"x"), longest + L"...");
}

TEST(ReceivedLogLine, HeaderThenTextOnOneLineCutWhenLong) {
  std::wstring header = ReceivedHeader(L"alice", L"BOB", L"3/14/2025", L"9:26:53 AM");
  EXPECT_EQ(header, L"Message from alice to BOB on 3/14/2025 at 9:26:53 AM");
  EXPECT_EQ(ReceivedLogLine(L"H", L"hi\r\nthere"), L"H: hi \u00B6 there");
  std::wstring longest(kMaxLoggedChars, L'x');
  EXPECT_EQ(ReceivedLogLine(L"H", longest), L"H: " + longest);
  EXPECT_EQ(ReceivedLogLine(L"H", longest + L"yz"),
            L"H: " + longest + L" ... (2002 characters in all)");
}

TEST(HeldByRelayNote, SaysHowLongInTheLargestWholeUnit) {
  struct Case {
    int64_t seconds;
    const wchar_t* note;
  } cases[] = {
      {59, L""},
      {60, L"Sent at 09:14, held by the relay for 1 minute."},
      {3599, L"Sent at 09:14, held by the relay for 59 minutes."},
      {7200, L"Sent at 09:14, held by the relay for 2 hours."},
      {48 * 3600 - 1, L"Sent at 09:14, held by the relay for 47 hours."},
      {7 * 86400, L"Sent at 09:14, held by the relay for 7 days."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seconds);
    EXPECT_EQ(HeldByRelayNote(L"09:14", c.seconds), c.note);
  }
}

}  // namespace
}  // namespace parvox
