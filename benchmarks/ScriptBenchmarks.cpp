// `parvox send` as scripts run it: start to exit against a bare console program, and one
// command to 1,000 recipients.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Benchmark.h"
#include "app/MainWindow.h"
#include "components/AnsiText.h"
#include "components/ModulePath.h"
#include "identity/KnownSenderStore.h"
#include "identity/MessageSigning.h"
#include "network/NetworkDatagram.h"
#include "network/UdpEndpoint.h"

namespace parvox::bench {
namespace {

std::wstring BesideBenchmark(const std::wstring& relative) {
  std::wstring path = CurrentModulePath();
  return path.substr(0, path.rfind(L'\\') + 1) + relative;
}

// Runs the command line with its standard output in `outputFile`, the window answering
// meanwhile; the seconds from start to exit.
double RunTimed(const std::wstring& exe, const std::wstring& arguments,
                const std::wstring& outputFile) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE out = CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                           CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOW startup{sizeof startup};
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out;
  startup.hStdError = out;
  std::wstring line = L"\"" + exe + L"\" " + arguments;
  PROCESS_INFORMATION process{};
  LARGE_INTEGER start = Now();
  if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    CloseHandle(out);
    return -1;
  }
  while (MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 60000, QS_ALLINPUT) ==
         WAIT_OBJECT_0 + 1) {
    PumpMessages();
  }
  double seconds = Seconds(start);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  CloseHandle(out);
  return seconds;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

std::string ReadAll(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  std::string text(1 << 20, '\0');
  DWORD read = 0;
  ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
  CloseHandle(file);
  text.resize(read);
  return text;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

}  // namespace

void RunScriptBenchmarks(Table& table) {
  std::wstring folder = NewTempFolder();
  uint16_t port = 0;
  {
    UdpEndpoint probe;
    probe.Open(0);
    port = probe.Port();
  }
  // The receiving window in this process; the script's copy reads the same port beside it.
  std::string settings = "[Settings]\r\nNetwork Port=" + std::to_string(port) + "\r\n";
  WriteFileBytes(folder + L"Address Book.ini", settings);
  for (const wchar_t* program : {L"parvox.exe", L"parvox.com"}) {
    CopyFileW(BesideBenchmark(std::wstring(L"..\\") + program).c_str(), (folder + program).c_str(),
              FALSE);
  }
  auto window = std::make_unique<MainWindow>();
  window->Create(L"", folder + L"parvox.exe");
  PumpMessages();

  const std::wstring output = folder + L"output.txt";
  const char* bareRow = "a bare console program: start to exit (median of 11)";
  const char* sendRow =
      "parvox send (parvox.com) to one loopback recipient that answers: start to exit (median of "
      "11)";
  std::vector<double> bare, usage, script, windowProgram;
  for (int run = 0; run < 11; ++run) {
    bare.push_back(RunTimed(BesideBenchmark(L"bare_console.exe"), L"", output));
    usage.push_back(RunTimed(folder + L"parvox.com", L"/?", output));
    windowProgram.push_back(RunTimed(folder + L"parvox.exe", L"send . Benchmark", output));
    script.push_back(RunTimed(folder + L"parvox.com", L"send . Benchmark", output));
  }
  bool delivered = ReadAll(output).rfind("Message delivered to ", 0) == 0;
  table.Add(bareRow, Median(bare) * 1000, "ms");
  table.Add("parvox.com /? (loading the program, no send): start to exit (median of 11)",
            Median(usage) * 1000, "ms", bareRow);
  table.Add("parvox.exe send, the window program, to the same recipient (median of 11)",
            Median(windowProgram) * 1000, "ms", bareRow);
  table.Add(sendRow, Median(script) * 1000, "ms", bareRow);
  table.Goal(sendRow, 1.5, true);
  table.Add("parvox send to one loopback recipient: delivered", delivered ? 1 : 0, "yes");

  // 1,000 recipients, every one answered with a signed receipt by a plain socket on a thread of
  // its own, so that it keeps up with the script.
  UdpEndpoint peer;
  peer.Open(0);
  std::unique_ptr<SigningKey> peerKey = SigningKey::Generate();
  const std::string peerName = "SCRIPTPEER" + std::to_string(GetTickCount64());
  // A colleague whose key is known: only such receipts read "delivered".
  ReplaceSenderKey(SenderName(FromAnsi(peerName), L"peer"), peerKey->PublicKey());
  std::atomic<bool> stop{false};
  std::thread answering([&] {
    while (!stop) {
      if (WaitForSingleObject(peer.Event(), 50) == WAIT_OBJECT_0)
        AnswerSignedMessages(peer, *peerKey, peerName);
    }
  });
  std::wstring names;
  for (int i = 0; i < 1000; ++i)
    names += (i > 0 ? L"," : L"") + (L"127.0.0.1:" + std::to_wstring(peer.Port()));
  double seconds =
      RunTimed(folder + L"parvox.com", L"send /nomailslot " + names + L" To a thousand", output);
  stop = true;
  answering.join();
  table.Add("parvox send to 1000 recipients: start to exit", seconds, "s");
  table.Goal("parvox send to 1000 recipients: start to exit", 3);
  table.Add("parvox send to 1000 recipients: lines reading delivered",
            static_cast<double>(Count(ReadAll(output), "Message delivered")), "count");
  DestroyWindow(window->Handle());
  PumpMessages();
}

}  // namespace parvox::bench
