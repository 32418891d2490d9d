// The standard handles of a GUI program started from a console.
#include "components/ScriptConsole.h"

#include <string>

#include "components/AnsiText.h"
#include "components/Utf8Text.h"

namespace parvox {
namespace {

bool Leads(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return Leads(handle) && GetConsoleMode(handle, &mode);
}

HANDLE OpenConsole(const wchar_t* name, HANDLE& opened) {
  opened = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
  return opened;
}

}  // namespace

ScriptConsole::ScriptConsole()
    : in_(GetStdHandle(STD_INPUT_HANDLE)),
      out_(GetStdHandle(STD_OUTPUT_HANDLE)),
      err_(GetStdHandle(STD_ERROR_HANDLE)) {
  // Attached even when every handle leads somewhere: its code page is the one to write in.
  attached_ = AttachConsole(ATTACH_PARENT_PROCESS) != FALSE;
  if (!attached_) return;
  if (!Leads(in_)) in_ = OpenConsole(L"CONIN$", opened_[0]);
  if (!Leads(out_)) out_ = OpenConsole(L"CONOUT$", opened_[1]);
  if (!Leads(err_)) err_ = OpenConsole(L"CONOUT$", opened_[2]);
}

ScriptConsole::~ScriptConsole() {
  for (HANDLE handle : opened_) {
    if (Leads(handle)) CloseHandle(handle);
  }
  if (attached_) FreeConsole();
}

void ScriptConsole::Write(HANDLE handle, std::wstring_view text) {
  if (!Leads(handle) || text.empty()) return;
  DWORD written = 0;
  if (IsConsole(handle)) {
    WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  // A file or a pipe gets what a console program would write: the console's code page, or UTF-8
  // where there is no console (the Task Scheduler, say).
  unsigned codePage = attached_ ? GetConsoleOutputCP() : CP_UTF8;
  std::string bytes;
  if (!ToAnsi(text, bytes, codePage)) bytes = ToAnsi(text);
  WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::optional<std::wstring> ScriptConsole::ReadInput(size_t limitBytes) {
  if (!Leads(in_)) return std::nullopt;
  if (IsConsole(in_)) {
    // Typed at the console: up to Ctrl+Z (or the end of input) on a line of its own.
    std::wstring text;
    wchar_t buffer[4096];
    DWORD read = 0;
    while (ReadConsoleW(in_, buffer, 4096, &read, nullptr) && read > 0) {
      text.append(buffer, read);
      if (size_t end = text.find(L'\x1A'); end != std::wstring::npos) {
        text.resize(end);
        break;
      }
      if (text.size() * 2 > limitBytes) return std::nullopt;
    }
    return text;
  }
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(in_, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    bytes.append(buffer, read);
    if (bytes.size() > limitBytes) return std::nullopt;
  }
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
    std::wstring text((bytes.size() - 2) / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i) {
      text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                     static_cast<unsigned char>(bytes[3 + 2 * i]) << 8);
    }
    return text;
  }
  if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);
  unsigned codePage = IsUtf8(bytes) ? CP_UTF8 : attached_ ? GetConsoleCP() : GetACP();
  std::wstring text;
  if (!FromAnsi(bytes, text, codePage)) text = FromAnsi(bytes);
  return text;
}

}  // namespace parvox
