// A datagram written to this computer's slot until its pop-up shows, and a flood of datagrams:
// how long until all are logged, how long the window went without answering, and the memory.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Benchmark.h"
#include "app/MainWindow.h"
#include "log/Log.h"
#include "log/LogWindow.h"

namespace parvox::bench {
namespace {

constexpr int kPopups = 100;
constexpr int kFlood = 10000;

// Wine's slot takes a limited backlog and refuses a write beyond it: the writer then tries again,
// so the flood goes as fast as the receiver lets it.
void WriteDatagram(HANDLE slot, const std::string& bytes) {
  DWORD written = 0;
  for (int attempt = 0; attempt < 10000; ++attempt) {
    if (WriteFile(slot, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) return;
    Sleep(0);
  }
}

HANDLE OpenSlot() {
  return CreateFileW(L"\\\\.\\mailslot\\messngr", GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

size_t LoggedFrom(const std::wstring& sender) {
  std::wstring log = LogText(), part = L"Message from " + sender + L" ";
  size_t count = 0;
  for (size_t at = log.find(part); at != std::wstring::npos; at = log.find(part, at + part.size()))
    ++count;
  return count;
}

void MeasurePopup(Table& table, HANDLE slot) {
  std::vector<double> times;
  for (int i = 0; i < kPopups; ++i) {
    std::string datagram =
        std::string("bench\0me\0popup ", 15) + std::to_string(i) + std::string("\0\0", 2);
    LARGE_INTEGER start = Now();
    WriteDatagram(slot, datagram);
    HWND popup = nullptr;
    PumpUntil([&] {
      popup = FindWindowW(L"ParvoxMessage", nullptr);
      return popup != nullptr && IsWindowVisible(popup);
    });
    times.push_back(Seconds(start) * 1000.0);
    if (popup != nullptr) SendMessageW(popup, WM_CLOSE, 0, 0);
    PumpMessages();
  }
  std::sort(times.begin(), times.end());
  table.Add("datagram written to pop-up shown (median of 100)", times[times.size() / 2], "ms");
  table.Goal("datagram written to pop-up shown (median of 100)", 20);
}

void MeasureFlood(Table& table, HANDLE slot, HWND main) {
  double memoryBefore = WorkingSetMegabytes();
  ResponsivenessWatch watch(main);
  LARGE_INTEGER start = Now();
  std::atomic<bool> written{false};
  std::thread writer([&] {
    for (int i = 0; i < kFlood; ++i) {
      std::string datagram =
          std::string("flood\0me\0", 9) + "number " + std::to_string(i) + std::string("\0\0", 2);
      WriteDatagram(slot, datagram);
    }
    written = true;
  });
  // The writer tries again while the slot is full, so it is done once the reader has taken
  // nearly all; what is over the shared budget is read and dropped, not logged.
  bool complete = PumpUntil([&] { return written.load(); });
  double allRead = Seconds(start);
  writer.join();
  double longestSilence = watch.StopAndTakeLongestMs();
  table.Add("flood of 10000 datagrams: all written and read", complete ? allRead * 1000.0 : -1,
            "ms");
  table.Add("flood of 10000 datagrams: lines logged", static_cast<double>(LoggedFrom(L"flood")),
            "count");
  table.Add("flood of 10000 datagrams: longest time the window did not answer", longestSilence,
            "ms");
  table.Goal("flood of 10000 datagrams: longest time the window did not answer", 100);
  table.Add("flood of 10000 datagrams: working-set growth", WorkingSetMegabytes() - memoryBefore,
            "MB");
  table.Goal("flood of 10000 datagrams: working-set growth", 20);
}

}  // namespace

void RunReceiveBenchmarks(Table& table) {
  std::wstring folder = NewTempFolder();
  WriteFileBytes(folder + L"Address Book.ini", "[Settings]\r\nReceive Messages=1\r\n");
  auto window = std::make_unique<MainWindow>();
  window->Create(L"", folder + L"parvox.exe");
  PumpMessages();
  HANDLE slot = OpenSlot();
  if (slot == INVALID_HANDLE_VALUE) {
    table.Add("datagram written to pop-up shown (median of 100)", -1, "ms");
  } else {
    MeasurePopup(table, slot);
    MeasureFlood(table, slot, window->Handle());
    CloseHandle(slot);
  }
  DestroyWindow(window->Handle());
  PumpMessages();
  window.reset();
}

}  // namespace parvox::bench
