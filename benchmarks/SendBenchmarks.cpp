// One message to 1,000 ticked entries through each send path.
#include <windows.h>

#include <atomic>
#include <memory>
#include <thread>

#include "Benchmark.h"
#include "app/MainWindow.h"
#include "components/ListViewChecks.h"
#include "sending/SendCommand.h"
#include "settings/AppState.h"

namespace parvox::bench {
namespace {

constexpr int kRecipients = 1000;

std::string LocalBook(int entries) {
  // The benchmark reads the slot itself, as the recipients would.
  std::string book =
      "[Settings]\r\nReceive Messages=0\r\n[Addresses]\r\nTotal=" + std::to_string(entries) +
      "\r\n";
  for (int i = 1; i <= entries; ++i) {
    book += "Address[" + std::to_string(100000 + i).substr(1) +
            "]=ADDRESS=.|DESCRIPTION=this machine|TYPE=0\r\n";
  }
  return book;
}

std::unique_ptr<MainWindow> StartTicked(const std::wstring& folder) {
  WriteFileBytes(folder + L"Address Book.ini", LocalBook(kRecipients));
  auto window = std::make_unique<MainWindow>();
  window->Create(L"", folder + L"parvox.exe");
  for (int row = 0; row < kRecipients; ++row) SetItemChecked(window->AddressList(), row, true);
  SetWindowTextW(window->Control(kIdTxtMsg), L"Benchmark message to every recipient.");
  return window;
}

void Close(std::unique_ptr<MainWindow>& window) {
  DestroyWindow(window->Handle());
  PumpMessages();
  window.reset();
}

}  // namespace

void RunSendBenchmarks(Table& table) {
  std::wstring folder = NewTempFolder();

  HANDLE slot = CreateMailslotW(L"\\\\.\\mailslot\\messngr", 0, 200, nullptr);
  std::atomic<int> delivered{0};
  std::atomic<bool> stop{false};
  std::thread receiver([&] {
    std::string buffer(70000, '\0');
    while (!stop) {
      DWORD read = 0;
      if (ReadFile(slot, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
        ++delivered;
    }
  });
  auto window = StartTicked(folder);
  LARGE_INTEGER start = Now();
  SendViaBroadcast(*window);
  double builtIn = Seconds(start);
  for (int wait = 0; wait < 100 && delivered < kRecipients; ++wait) Sleep(20);
  stop = true;
  receiver.join();
  CloseHandle(slot);
  table.Add("built-in send, per recipient (1000 recipients)", builtIn * 1000.0 / kRecipients, "ms");
  table.Goal("built-in send, per recipient (1000 recipients)", 0.5);
  table.Add("built-in send, datagrams delivered", delivered, "count");
  Close(window);

  // The stand-in NET command beside this program records nowhere when no folder is named.
  SetEnvironmentVariableW(L"PARVOX_NET_RECORD_DIR", nullptr);
  window = StartTicked(folder);
  start = Now();
  SendViaWindows(*window);
  table.Add("NET SEND path, per recipient (1000 recipients)", Seconds(start) * 1000.0 / kRecipients,
            "ms");
  Close(window);
}

}  // namespace parvox::bench
