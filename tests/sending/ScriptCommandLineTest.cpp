// A script's command line, as a table of what people type after NET SEND's habits.
#include <gtest/gtest.h>

#include <optional>

#include "sending/DeliveryOutcome.h"
#include "sending/ScriptCommandLine.h"

namespace parvox {
namespace {

using Kind = ScriptCommand::Kind;

TEST(ScriptCommandLine, Table) {
  struct Case {
    const wchar_t* line;
    Kind kind;
    std::vector<ScriptRecipient> recipients;
    const wchar_t* message;
    std::optional<Kind> console = {};  // where parvox.com reads it otherwise than parvox.exe
  } cases[] = {
      {L"", Kind::kNone, {}, L""},
      {L"  ", Kind::kNone, {}, L""},
      {L"MINIMIZE", Kind::kNone, {}, L""},
      {L" \"/minimize\" ", Kind::kNone, {}, L""},
      {L"MINIMIZE now", Kind::kNone, {}, L"", Kind::kError},
      {L"sender bob hi", Kind::kNone, {}, L"", Kind::kError},
      // Not sends, though a script meant them as sends: the window must not start for them.
      {L"/quiet send admin Backup failed", Kind::kNone, {}, L"", Kind::kError},
      {L"\"send admin Backup failed\"", Kind::kNone, {}, L"", Kind::kError},
      {L"/?", Kind::kUsage, {}, L""},
      {L"send /?", Kind::kUsage, {}, L""},
      {L"relay-password", Kind::kRelayPassword, {}, L""},
      {L"relay-password secret", Kind::kNone, {}, L"", Kind::kError},
      {L"SEND bob The server restarts in 5 minutes",
       Kind::kSend,
       {{L"bob", false}},
       L"The server restarts in 5 minutes"},
      {L"send bob,pc7,10.0.0.9:42165,[fe80::1]:7 \"quoted\"   as typed ",
       Kind::kSend,
       {{L"bob", false}, {L"pc7", false}, {L"10.0.0.9:42165", false}, {L"[fe80::1]:7", false}},
       L"\"quoted\"   as typed "},
      {L"send bob \"Disk full on FILESRV\"",
       Kind::kSend,
       {{L"bob", false}},
       L"Disk full on FILESRV"},
      {L"send bob \"a\" and \"b\"", Kind::kSend, {{L"bob", false}}, L"\"a\" and \"b\""},
      {L"send /domain:WORKGROUP Lunch!", Kind::kSend, {{L"WORKGROUP", true}}, L"Lunch!"},
      {L"send * Fire drill", Kind::kSend, {{L"*", true}}, L"Fire drill"},
      {L"send \"my pc\" hi", Kind::kSend, {{L"my pc", false}}, L"hi"},
      {L"send /quiet /WAIT:0 /nomailslot . -", Kind::kSend, {{L".", false}}, L""},
      {L"send", Kind::kError, {}, L""},
      {L"send bob", Kind::kError, {}, L""},
      {L"send bob   ", Kind::kError, {}, L""},
      {L"send /wait:601 bob hi", Kind::kError, {}, L""},
      {L"send /wait:-1 bob hi", Kind::kError, {}, L""},
      {L"send /wait: bob hi", Kind::kError, {}, L""},
      {L"send /expire:0 bob hi", Kind::kError, {}, L""},
      {L"send /expire:10081 bob hi", Kind::kError, {}, L""},
      {L"send /ack:0 bob hi", Kind::kError, {}, L""},
      {L"send /ack:1441 bob hi", Kind::kError, {}, L""},
      {L"send /urgent:yes bob hi", Kind::kError, {}, L""},
      {L"send /users hi", Kind::kError, {}, L""},
      {L"send /domain: hi", Kind::kError, {}, L""},
      {L"send bob, hi", Kind::kError, {}, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::wstring(c.line).c_str());
    ScriptCommand command = ParseScriptCommand(c.line);
    EXPECT_EQ(command.kind, c.kind);
    EXPECT_EQ(command.error.empty(), c.kind != Kind::kError);
    ScriptCommand console = ParseConsoleCommand(c.line);
    EXPECT_EQ(console.kind, c.console.value_or(c.kind));
    EXPECT_EQ(console.error.empty(), console.kind != Kind::kError);
    if (c.kind != Kind::kSend) continue;
    EXPECT_EQ(command.recipients, c.recipients);
    EXPECT_EQ(command.message, c.message);
  }
  ScriptCommand options = ParseScriptCommand(L"send /quiet /WAIT:0 /nomailslot . -");
  EXPECT_TRUE(options.quiet && options.messageFromInput && !options.mailslot);
  EXPECT_EQ(options.waitSeconds, 0u);
  EXPECT_EQ(ParseScriptCommand(L"send bob hi").waitSeconds, 2u);
  EXPECT_EQ(ParseScriptCommand(L"send /wait:600 bob hi").waitSeconds, 600u);
  EXPECT_EQ(ParseScriptCommand(L"send bob hi").expireMinutes, 1440u);
  EXPECT_EQ(ParseScriptCommand(L"send /EXPIRE:10080 bob hi").expireMinutes, 10080u);
  ScriptCommand urgent = ParseScriptCommand(L"send /Urgent /ack:1440 bob hi");
  EXPECT_TRUE(urgent.urgent);
  EXPECT_EQ(urgent.acknowledgeMinutes, 1440u);
  EXPECT_FALSE(ParseScriptCommand(L"send bob hi").urgent);
  EXPECT_EQ(ParseScriptCommand(L"send bob hi").acknowledgeMinutes, 0u);
}

TEST(ScriptCommandLine, ArgumentsFollowTheProgramName) {
  EXPECT_EQ(ArgumentsOfCommandLine(L"parvox send bob  hi "), L"send bob  hi ");
  EXPECT_EQ(ArgumentsOfCommandLine(L"\"C:\\Program Files\\parvox.com\"\t send bob"), L"send bob");
  EXPECT_EQ(ArgumentsOfCommandLine(L"\"C:\\odd name\"x.com /?"), L"/?");
  EXPECT_EQ(ArgumentsOfCommandLine(L"\"unclosed send bob"), L"");
  EXPECT_EQ(ArgumentsOfCommandLine(L"parvox"), L"");
}

TEST(ScriptCommandLine, ExitCodeOfTheLines) {
  OutcomeLine delivered{L"Message delivered to bob (PC1).", false, true};
  OutcomeLine mailslotOnly{L"Message successfully sent to pc7.", false, false};
  OutcomeLine nothing{L"Error sending message to pc9. They may not be online.", true, false};
  EXPECT_EQ(ExitCodeOf({delivered, delivered}), kExitDelivered);
  EXPECT_EQ(ExitCodeOf({delivered, mailslotOnly}), kExitUnconfirmed);
  EXPECT_EQ(ExitCodeOf({mailslotOnly, nothing, delivered}), kExitNotReached);
  OutcomeLine queued{L"Message queued at the relay for bob until 18:00.", false, false, true};
  EXPECT_EQ(ExitCodeOf({delivered, queued}), kExitQueued);
  EXPECT_EQ(ExitCodeOf({queued, mailslotOnly}), kExitUnconfirmed);
  // Waiting for acknowledgements, they decide, unless someone got nothing at all.
  EXPECT_EQ(ExitCodeOf({mailslotOnly, queued}, true), kExitDelivered);
  EXPECT_EQ(ExitCodeOf({delivered, queued}, false), kExitNotAcknowledged);
  EXPECT_EQ(ExitCodeOf({delivered, nothing}, true), kExitNotReached);
}

}  // namespace
}  // namespace parvox
