// Recorders for the NET stand-in and the messenger mailslot.
#include "support/SendRecorders.h"

#include <algorithm>

namespace parvox::test {
namespace {

// The command line minus the program's own (possibly quoted) path and the blank after it.
std::string ParametersOf(const std::string& commandLine) {
  if (commandLine.empty()) return std::string();
  size_t end = commandLine[0] == '"' ? commandLine.find('"', 1) + 1 : commandLine.find(' ');
  if (end == std::string::npos || end >= commandLine.size()) return std::string();
  return commandLine.substr(end + 1);
}

}  // namespace

NetRecorder::NetRecorder(const TempFolder& folder) : folder_(folder.Path()) {
  SetEnvironmentVariableW(L"PARVOX_NET_RECORD_DIR", folder_.c_str());
}

NetRecorder::~NetRecorder() { SetEnvironmentVariableW(L"PARVOX_NET_RECORD_DIR", nullptr); }

std::vector<std::string> NetRecorder::WaitFor(size_t count, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder_ + L"*.txt").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do names.push_back(found.cFileName);
      while (FindNextFileW(search, &found));
      FindClose(search);
    }
    std::sort(names.begin(), names.end());
    // A record that reads empty is still held by the stand-in's rename on a busy machine.
    std::vector<std::string> records;
    for (const std::wstring& name : names) records.push_back(ReadBytes(folder_ + name));
    bool allRead = std::none_of(records.begin(), records.end(),
                                [](const std::string& record) { return record.empty(); });
    if ((names.size() >= count && allRead) || GetTickCount() - start >= timeoutMs) {
      std::vector<std::string> parameters;
      for (const std::string& record : records) parameters.push_back(ParametersOf(record));
      return parameters;
    }
    Sleep(50);
  }
}

MailslotReceiver::MailslotReceiver()
    : slot_(CreateMailslotW(L"\\\\.\\mailslot\\messngr", 0, 2000, nullptr)) {}

MailslotReceiver::~MailslotReceiver() {
  if (Valid()) CloseHandle(slot_);
}

DWORD MailslotReceiver::Waiting() const {
  DWORD count = 0;
  if (!GetMailslotInfo(slot_, nullptr, nullptr, &count, nullptr)) return 0;
  return count;
}

std::string MailslotReceiver::Read() {
  std::string buffer(70000, '\0');
  DWORD read = 0;
  if (!ReadFile(slot_, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
    return "<none>";
  return buffer.substr(0, read);
}

}  // namespace parvox::test
