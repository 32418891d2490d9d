// Sending from a script: from its own ephemeral port, so that it works beside a running Parvox.
#include "sending/ScriptSend.h"

#include <windows.h>

#include "components/ScriptConsole.h"
#include "components/WaitSources.h"
#include "identity/ThisComputer.h"
#include "log/Log.h"
#include "sending/BuiltInSend.h"
#include "sending/NetworkDelivery.h"
#include "settings/AppState.h"

namespace parvox {
namespace {

// Far more than a datagram carries, so that a longer text is refused with its length.
constexpr size_t kMaxInputBytes = 1 << 20;

// Takes the one line end a piped file or `echo` leaves at the end.
void DropFinalLineEnd(std::wstring& text) {
  if (!text.empty() && text.back() == L'\n') text.pop_back();
  if (!text.empty() && text.back() == L'\r') text.pop_back();
}

// Runs the wait sources until every unicast recipient has answered or the time is up.
void WaitForAnswers(NetworkSend& send, DWORD waitMs) {
  if (!send.StartWaiting()) return;
  ULONGLONG end = GetTickCount64() + waitMs;
  for (ULONGLONG now = GetTickCount64(); !send.AllAnswered() && now < end; now = GetTickCount64()) {
    RunWaitSources(static_cast<DWORD>(end - now));
  }
}

}  // namespace

int RunScriptCommand(const ScriptCommand& command, const std::wstring& modulePath) {
  ScriptConsole console;
  if (command.kind == ScriptCommand::Kind::kUsage) {
    console.Out(ScriptUsage());
    return kExitDelivered;
  }
  if (command.kind != ScriptCommand::Kind::kSend) {
    console.Err(command.error + L"\r\n\r\n" + ScriptUsage());
    return kExitBadCommand;
  }
  std::wstring text = command.message;
  if (command.messageFromInput) {
    std::optional<std::wstring> input = console.ReadInput(kMaxInputBytes);
    if (input) DropFinalLineEnd(*input);
    if (!input || input->empty()) {
      console.Err(input ? L"The message read from standard input is empty.\r\n"
                        : L"No message could be read from standard input (at most 1 MB).\r\n");
      return kExitBadCommand;
    }
    text = *input;
  }

  LoadSettings(modulePath);
  // What the window would log (a refusal, a failed key) goes to standard error instead.
  RedirectLog([&console](const std::wstring& line) { console.Err(line + L"\r\n"); });
  std::vector<OutcomeLine> lines;
  {
    std::wstring user = GetCurrentUserName();
    DWORD waitMs = command.waitSeconds * 1000;
    NetworkSend send(nullptr, App().networkPort, App().trustedNetworks, user, text, waitMs);
    ULONGLONG answered = GetTickCount64();
    for (const ScriptRecipient& recipient : command.recipients) {
      if (GetTickCount64() - answered >= kKeepAnsweringEveryMs) {
        ServiceWaitSources();
        answered = GetTickCount64();
      }
      AddBuiltInRecipient(send, user, text, recipient.address, recipient.domain, command.mailslot);
    }
    WaitForAnswers(send, waitMs);
    lines = send.Tracker().Lines();
  }
  RedirectLog({});
  for (const OutcomeLine& line : lines) {
    if (!command.quiet && !line.text.empty()) console.Out(line.text + L"\r\n");
  }
  return ExitCodeOf(lines);
}

}  // namespace parvox
