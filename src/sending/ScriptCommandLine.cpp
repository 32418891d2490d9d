// Reading a script's command line: words split as Windows programs split them, except that the
// message keeps the rest of the line as it was typed (quotes around the whole of it aside).
#include "sending/ScriptCommandLine.h"

#include <cwctype>
#include <optional>

#include "components/NumericText.h"
#include "settings/AppPaths.h"

namespace parvox {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The next word from `at` (double quotes group blanks and are dropped); `at` moves past it.
std::wstring NextWord(std::wstring_view line, size_t& at) {
  while (at < line.size() && IsBlank(line[at])) ++at;
  std::wstring word;
  bool quoted = false;
  for (; at < line.size() && (quoted || !IsBlank(line[at])); ++at) {
    if (line[at] == L'"') {
      quoted = !quoted;
    } else {
      word.push_back(line[at]);
    }
  }
  return word;
}

bool SameWord(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return true;
}

bool StartsWithWord(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && SameWord(text.substr(0, prefix.size()), prefix);
}

ScriptCommand Error(std::wstring text) {
  ScriptCommand command;
  command.kind = ScriptCommand::Kind::kError;
  command.error = std::move(text);
  return command;
}

}  // namespace

ScriptCommand ParseScriptCommand(std::wstring_view line) {
  size_t at = 0;
  std::wstring first = NextWord(line, at);
  ScriptCommand command;
  if (first == L"/?" && NextWord(line, at).empty()) {
    command.kind = ScriptCommand::Kind::kUsage;
    return command;
  }
  if (SameWord(first, L"relay-password") && NextWord(line, at).empty()) {
    command.kind = ScriptCommand::Kind::kRelayPassword;
    return command;
  }
  if (!SameWord(first, L"send")) return command;

  std::wstring word;
  for (;;) {
    word = NextWord(line, at);
    if (word == L"/?") {
      command.kind = ScriptCommand::Kind::kUsage;
      return command;
    }
    if (StartsWithWord(word, L"/wait:")) {
      std::optional<uint32_t> seconds =
          StrictDecimal(std::wstring_view(word).substr(6), 3, kMaxScriptWaitSeconds);
      if (!seconds)
        return Error(L"/wait: takes a whole number of seconds from 0 to 600, not \"" +
                     word.substr(6) + L"\".");
      command.waitSeconds = *seconds;
    } else if (StartsWithWord(word, L"/expire:")) {
      std::optional<uint32_t> minutes =
          StrictDecimal(std::wstring_view(word).substr(8), 5, kMaxExpireMinutes);
      if (!minutes || *minutes == 0)
        return Error(L"/expire: takes a whole number of minutes from 1 to " +
                     std::to_wstring(kMaxExpireMinutes) + L", not \"" + word.substr(8) + L"\".");
      command.expireMinutes = *minutes;
    } else if (StartsWithWord(word, L"/ack:")) {
      std::optional<uint32_t> minutes =
          StrictDecimal(std::wstring_view(word).substr(5), 4, kMaxAcknowledgementWaitMinutes);
      if (!minutes || *minutes == 0)
        return Error(L"/ack: takes a whole number of minutes from 1 to " +
                     std::to_wstring(kMaxAcknowledgementWaitMinutes) + L", not \"" +
                     word.substr(5) + L"\".");
      command.acknowledgeMinutes = *minutes;
    } else if (SameWord(word, L"/urgent")) {
      command.urgent = true;
    } else if (SameWord(word, L"/nomailslot")) {
      command.mailslot = false;
    } else if (SameWord(word, L"/quiet")) {
      command.quiet = true;
    } else {
      break;
    }
  }
  if (word.empty()) return Error(L"Whom to send to is missing.");
  bool domain = StartsWithWord(word, L"/domain:");
  std::wstring_view names = domain ? std::wstring_view(word).substr(8) : std::wstring_view(word);
  if (!domain && word[0] == L'/') return Error(L"Unknown option \"" + word + L"\".");
  for (size_t start = 0;;) {
    size_t comma = names.find(L',', start);
    std::wstring_view name = names.substr(start, comma == names.npos ? names.npos : comma - start);
    if (name.empty())
      return Error(domain ? L"/domain: needs the name of a domain or workgroup."
                          : L"The list of recipients holds an empty name.");
    command.recipients.push_back({std::wstring(name), domain || name == L"*"});
    if (comma == names.npos) break;
    start = comma + 1;
  }

  while (at < line.size() && IsBlank(line[at])) ++at;
  command.message = line.substr(at);
  // One quoted whole is the message without its quotes: PowerShell and most callers quote an
  // argument with blanks, so `send bob "Disk full"` must not show the quotes.
  std::wstring_view message = command.message;
  if (message.size() >= 2 && message.front() == L'"' && message.back() == L'"' &&
      message.substr(1, message.size() - 2).find(L'"') == message.npos) {
    command.message = message.substr(1, message.size() - 2);
  }
  if (command.message == L"-") {
    command.message.clear();
    command.messageFromInput = true;
  } else if (command.message.empty()) {
    return Error(L"The message is missing.");
  }
  command.kind = ScriptCommand::Kind::kSend;
  return command;
}

ScriptCommand ParseConsoleCommand(std::wstring_view line) {
  ScriptCommand command = ParseScriptCommand(line);
  if (command.kind != ScriptCommand::Kind::kNone) return command;
  size_t at = 0;
  std::wstring first = NextWord(line, at);
  if (NextWord(line, at).empty() && (first.empty() || CommandLineAsksToMinimise(first))) {
    return command;
  }
  return Error(L"\"" + first +
               L"\" is not a command: a send starts with \"send\", and only \"parvox\" or "
               L"\"parvox MINIMIZE\" starts the window.");
}

std::wstring ScriptUsage() {
  return L"Sends a message to users, computers or a domain, and says who got it.\r\n"
         L"\r\n"
         L"parvox send [/wait:SECONDS] [/expire:MINUTES] [/urgent] [/ack:MINUTES] [/nomailslot] "
         L"[/quiet] NAME[,NAME...] MESSAGE\r\n"
         L"parvox send [options] /domain:NAME MESSAGE\r\n"
         L"parvox send [options] * MESSAGE\r\n"
         L"\r\n"
         L"  NAME           a user or computer, \".\", an IP address, NAME:PORT or [IPv6]:PORT\r\n"
         L"  /domain:NAME   every computer of a domain or workgroup on this computer's subnets\r\n"
         L"  *              everyone on this computer's subnets, and on the relay\r\n"
         L"  MESSAGE        the rest of the line; \"-\" reads it from standard input\r\n"
         L"  /wait:SECONDS  how long to wait for receipts, 0 to 600 (2 unless given)\r\n"
         L"  /expire:MINUTES  never show it after this long, 1 to 10080 (1440 unless given)\r\n"
         L"  /urgent        shown as urgent until it is acknowledged (asks for acknowledgement)\r\n"
         L"  /ack:MINUTES   ask for acknowledgement and wait up to this long for it, 1 to 1440\r\n"
         L"  /nomailslot    do not also write the classic mailslot datagram\r\n"
         L"  /quiet         print nothing: the exit code still tells\r\n"
         L"\r\n"
         L"parvox relay-password < FILE   keeps the first line of FILE as this Windows user's "
         L"password for the relay's broker (an empty line removes it)\r\n"
         L"\r\n"
         L"Exit code: 0 every recipient confirmed it, 1 some recipient got nothing,\r\n"
         L"3 every recipient got it but not every one confirmed it, 4 every recipient confirmed "
         L"it or the relay holds it for them, 2 the command line is wrong; with /ack: 0 "
         L"everyone\r\n"
         L"acknowledged it, 5 every recipient got it but not everyone acknowledged it in time.\r\n";
}

std::wstring_view ArgumentsOfCommandLine(std::wstring_view line) {
  size_t at = 0;
  if (!line.empty() && line[0] == L'"') {
    at = line.find(L'"', 1);
    at = at == std::wstring_view::npos ? line.size() : at + 1;
  }
  while (at < line.size() && !IsBlank(line[at])) ++at;
  while (at < line.size() && IsBlank(line[at])) ++at;
  return line.substr(at);
}

}  // namespace parvox
