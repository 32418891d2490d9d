// The command line scripts send with, a drop-in for NET SEND that says who got the message:
//   parvox send [/wait:SECONDS] [/expire:MINUTES] [/urgent] [/ack:MINUTES] [/nomailslot] [/quiet]
//               NAME[,NAME...] MESSAGE
//   parvox send [options] /domain:NAME MESSAGE
//   parvox send [options] * MESSAGE
//   parvox relay-password < FILE   (the relay's broker password, kept for this Windows user)
// The message is the rest of the line as typed (without quotes around the whole of it), or
// standard input for "-".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace parvox {

// What the process's exit code says.
enum ScriptExitCode : int {
  kExitDelivered = 0,    // every recipient confirmed it with a receipt
  kExitNotReached = 1,   // some recipient got nothing: no receipt and no mailslot write
  kExitBadCommand = 2,   // the command line is wrong
  kExitUnconfirmed = 3,  // every recipient got something, but not every one confirmed it
  kExitQueued = 4,       // every recipient confirmed it or the relay holds it for them
  // With /ack: every recipient got it (or the relay holds it), but not everyone acknowledged it
  // in time; 0 then means everyone did.
  kExitNotAcknowledged = 5,
};

inline constexpr unsigned kMaxScriptWaitSeconds = 600;
// A message is shown until it expires: a day unless the sender says otherwise, at most a week
// (what a relay may hold it for).
inline constexpr unsigned kDefaultExpireMinutes = 24 * 60;
inline constexpr unsigned kMaxExpireMinutes = 7 * 24 * 60;
// How long /ack: may wait for acknowledgements: a working day.
inline constexpr unsigned kMaxAcknowledgementWaitMinutes = 24 * 60;

struct ScriptRecipient {
  std::wstring address;  // as an address-book entry takes it
  bool domain = false;   // sent as an entry of the domain type
  bool operator==(const ScriptRecipient&) const = default;
};

struct ScriptCommand {
  enum class Kind {
    kNone,  // not a script's command line: the window starts
    kSend,
    kUsage,  // "/?": the usage on standard output
    // "relay-password": the broker password for this Windows user, from standard input
    kRelayPassword,
    kError,  // `error` says what is wrong; the usage follows on standard error
  };
  Kind kind = Kind::kNone;
  std::wstring error;
  std::vector<ScriptRecipient> recipients;
  std::wstring message;
  bool messageFromInput = false;                   // "-": the message is standard input
  unsigned waitSeconds = 2;                        // for the receipts
  unsigned expireMinutes = kDefaultExpireMinutes;  // after which it is never shown
  bool urgent = false;                             // shown as urgent; asks for acknowledgement
  unsigned acknowledgeMinutes = 0;  // asks for acknowledgement and waits this long; 0: neither
  bool mailslot = true;             // also write the classic mailslot datagram
  bool quiet = false;               // no lines on standard output
};

// `commandLine` is what follows the program's name. "send" (any letter case) as its first word
// makes it a script's; so does "/?" alone.
ScriptCommand ParseScriptCommand(std::wstring_view commandLine);
// parvox.com's reading: it hands the window program only what the window understands (nothing,
// or one word that asks it to start minimised); any other line that is not a script's is an
// error, since a script that meant to send must not see the exit code of a send that confirmed.
ScriptCommand ParseConsoleCommand(std::wstring_view commandLine);

std::wstring ScriptUsage();

// What follows the program's name in a whole command line (a console program's): the name ends
// at its closing quote, or unquoted at the first blank, as the C runtime reads it.
std::wstring_view ArgumentsOfCommandLine(std::wstring_view commandLine);

}  // namespace parvox
