// Runs every benchmark once and prints one table of figures and ratios.
#include "Benchmark.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>

#include "app/MainWindow.h"
#include "components/ListViewChecks.h"
#include "log/LogWindow.h"
#include "network/UdpEndpoint.h"
#include "sending/NetworkDelivery.h"
#include "support/IsolatedNetwork.h"

namespace parvox::bench {

LARGE_INTEGER Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now;
}

double Seconds(LARGE_INTEGER start) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(Now().QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

void Table::Add(const std::string& name, double value, const std::string& unit,
                const std::string& comparedTo) {
  rows_.push_back({name, value, unit, comparedTo});
}

void Table::Goal(const std::string& name, double most, bool onRatio) {
  for (Row& row : rows_) {
    if (row.name != name) continue;
    row.goal = most;
    row.goalOnRatio = onRatio;
  }
}

double Table::Value(const std::string& name) const {
  for (const Row& row : rows_) {
    if (row.name == name) return row.value;
  }
  return 0;
}

void Table::Print() const {
  std::printf("%-52s %12s  %-6s %-22s %s\n", "benchmark", "value", "unit", "goal", "ratio");
  for (const Row& row : rows_) {
    bool compared = !row.comparedTo.empty() && Value(row.comparedTo) > 0;
    double ratio = compared ? row.value / Value(row.comparedTo) : 0;
    char goal[64] = "";
    if (row.goal > 0) {
      double measured = row.goalOnRatio ? ratio : row.value;
      // A figure of 0 means the measurement itself failed (say, a child process did not start).
      std::snprintf(goal, sizeof goal, "<= %g%s: %s", row.goal, row.goalOnRatio ? "x" : "",
                    measured <= 0          ? "n/a"
                    : measured <= row.goal ? "met"
                                           : "NOT met");
    }
    std::printf("%-52s %12.3f  %-6s %-22s", row.name.c_str(), row.value, row.unit.c_str(), goal);
    if (compared) std::printf(" %.2fx %s", ratio, row.comparedTo.c_str());
    std::printf("\n");
  }
}

std::string GenerateBook(int entries) {
  std::string book =
      "[Settings]\r\nEscape Minimises=1\r\nLast Selected=user7|DOMAIN9\r\n[Addresses]\r\nTotal=" +
      std::to_string(entries) + "\r\n";
  char line[160];
  for (int i = 1; i <= entries; ++i) {
    int type = i % 10 == 0 ? 1 : 0;
    std::snprintf(line, sizeof line,
                  "Address[%05d]=ADDRESS=%s%d|DESCRIPTION=Desk %d, floor %d|TYPE=%d\r\n", i,
                  type ? "DOMAIN" : "user", i, i, i % 7, type);
    book += line;
  }
  return book;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

std::wstring NewTempFolder() {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  std::wstring folder = std::wstring(base) + L"parvox-bench-" +
                        std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(GetTickCount()) + L"\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

double FloodAndSettle(const std::function<void()>& flood) {
  LARGE_INTEGER start = Now();
  std::atomic<bool> sent{false};
  std::thread sender([&] {
    flood();
    sent = true;
  });
  PumpUntil([&] { return sent.load(); });
  LARGE_INTEGER settle = Now();
  PumpUntil([&] { return Seconds(settle) > 0.5; });
  double seconds = Seconds(start);
  sender.join();
  return seconds;
}

ResponsivenessWatch::ResponsivenessWatch(HWND window)
    : thread_([this, window] {
        while (!stop_) {
          LARGE_INTEGER asked = Now();
          DWORD_PTR result = 0;
          SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
          longest_ = std::max(longest_.load(), Seconds(asked) * 1000.0);
          Sleep(2);
        }
        stopped_ = true;
      }) {}

ResponsivenessWatch::~ResponsivenessWatch() {
  if (thread_.joinable()) StopAndTakeLongestMs();
}

double ResponsivenessWatch::StopAndTakeLongestMs() {
  stop_ = true;
  PumpUntil([&] { return stopped_.load(); });
  thread_.join();
  return longest_;
}

uint16_t FreePort() {
  UdpEndpoint probe;
  probe.Open(0);
  return probe.Port();
}

size_t Count(const std::wstring& text, const std::wstring& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TimedSend SendToEveryRow(MainWindow& window, int rows, const wchar_t* text) {
  for (int row = 0; row < rows; ++row) SetItemChecked(window.AddressList(), row, true);
  SetWindowTextW(window.Control(kIdTxtMsg), text);
  PumpMessages();
  const size_t logBefore = LogText().size();
  ResponsivenessWatch watch(window.Handle());
  LARGE_INTEGER start = Now();
  PostMessageW(window.Handle(), WM_COMMAND, MAKEWPARAM(kIdCmdSend, BN_CLICKED), 0);
  PumpUntil([&] { return !ReceiptsPending() && LogText().size() != logBefore; });
  double seconds = Seconds(start);
  return {seconds, watch.StopAndTakeLongestMs()};
}

}  // namespace parvox::bench

int wmain(int argc, wchar_t** argv) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  if (argc == 4 && std::wstring(argv[1]) == L"--child") {
    std::wstring folder = std::wstring(argv[3]) + L"\\";
    parvox::bench::ProcessFigures figures = parvox::bench::MeasureInThisProcess(argv[2], folder);
    parvox::bench::WriteFileBytes(
        folder + L"figures.bin",
        std::string(reinterpret_cast<const char*>(&figures), sizeof figures));
    return 0;
  }
  parvox::test::RequireIsolatedNetwork("parvox_bench");
  parvox::bench::Table table;
  // "network" runs only the network path's rows, "hostile" only those of strangers' floods,
  // "subnet" only the flood from one /64 (once its addresses are there), "signatures" only the
  // floods of forged signatures, "scripts" only `parvox send`, "relay" only the broker's rows,
  // "acknowledgements" only those of acknowledgements.
  std::wstring only = argc == 2 ? argv[1] : L"";
  if (only == L"subnet" || only == L"signatures" || only == L"scripts" || only == L"relay" ||
      only == L"acknowledgements") {
    if (only == L"subnet") parvox::bench::RunSubnetFloodBenchmark(table);
    if (only == L"signatures") parvox::bench::RunSignatureFloodBenchmarks(table);
    if (only == L"scripts") parvox::bench::RunScriptBenchmarks(table);
    if (only == L"relay") parvox::bench::RunRelayBenchmarks(table);
    if (only == L"acknowledgements") parvox::bench::RunAcknowledgementBenchmarks(table);
    table.Print();
    return 0;
  }
  if (only.empty()) {
    parvox::bench::RunBookBenchmarks(table);
    parvox::bench::RunSendBenchmarks(table);
    parvox::bench::RunReceiveBenchmarks(table);
    parvox::bench::RunAcknowledgementBenchmarks(table);
  }
  if (only != L"hostile") parvox::bench::RunNetworkBenchmarks(table);
  if (only.empty() || only == L"network") parvox::bench::RunScriptBenchmarks(table);
  if (only != L"network") parvox::bench::RunHostileNetworkBenchmarks(table);
  table.Print();
  return 0;
}
