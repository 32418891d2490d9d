// Address-book load, save and start-up against the bare list view and the per-key profile API.
#include <windows.h>

// The other platform headers build on windows.h.
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <memory>

#include "Benchmark.h"
#include "addressbook/AddressBookStore.h"
#include "addressbook/AddressList.h"
#include "app/MainWindow.h"
#include "components/AnsiText.h"

namespace parvox::bench {
namespace {

constexpr int kLarge = 100000;
constexpr int kSmall = 4000;

// The floor: the list view alone, filled as the load fills it.
double FillBareList(HWND list, int rows, std::vector<std::wstring>& tags) {
  HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 3, 0);
  SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT, -1);
  for (int column = 0; column < 2; ++column) {
    LVCOLUMNW spec{LVCF_WIDTH};
    spec.cx = 100;
    SendMessageW(list, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&spec));
  }
  tags.resize(static_cast<size_t>(rows));
  LARGE_INTEGER start = Now();
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(rows), LVSICF_NOINVALIDATEALL);
  for (int i = 0; i < rows; ++i) {
    std::wstring text = L"user" + std::to_wstring(i), description = L"Desk " + std::to_wstring(i);
    tags[static_cast<size_t>(i)] = L"ADDRESS=" + text + L"|DESCRIPTION=" + description + L"|TYPE=0";
    LVITEMW item{LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE};
    item.iItem = i;
    item.pszText = text.data();
    item.iImage = 1;
    item.lParam = reinterpret_cast<LPARAM>(&tags[static_cast<size_t>(i)]);
    int row =
        static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    LVITEMW sub{};
    sub.iSubItem = 1;
    sub.pszText = description.data();
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  return Seconds(start);
}

HWND CreateBareList() {
  // Shared image lists, as the program's own list has: the caller destroys the image list.
  return CreateWindowExW(0, WC_LISTVIEWW, L"",
                         WS_OVERLAPPEDWINDOW | WS_VISIBLE | LVS_REPORT | LVS_SHAREIMAGELISTS, 0, 0,
                         300, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

double BareListSeconds(int rows) {
  HWND list = CreateBareList();
  std::vector<std::wstring> tags;
  double seconds = FillBareList(list, rows, tags);
  auto images = reinterpret_cast<HIMAGELIST>(SendMessageW(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
  DestroyWindow(list);
  ImageList_Destroy(images);
  return seconds;
}

// The old way: one profile call per key.
double ProfileLoadSeconds(const std::wstring& file, HWND list) {
  std::string ansiFile = ToAnsi(file);
  LARGE_INTEGER start = Now();
  std::vector<char> buffer(60000);
  GetPrivateProfileStringA("Addresses", "Total", "0", buffer.data(), 60000, ansiFile.c_str());
  int total = std::atoi(buffer.data());
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  for (int i = 1; i <= total; ++i) {
    char key[32];
    std::snprintf(key, sizeof key, "Address[%05d]", i);
    DWORD length =
        GetPrivateProfileStringA("Addresses", key, "", buffer.data(), 60000, ansiFile.c_str());
    std::wstring record;
    FromAnsi(std::string_view(buffer.data(), length), record);
    AppendAddressRow(list, record, record, 1, record);
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  return Seconds(start);
}

double ProfileSaveSeconds(const std::wstring& file, HWND list) {
  std::string ansiFile = ToAnsi(file);
  LARGE_INTEGER start = Now();
  WritePrivateProfileStringA("Addresses", nullptr, nullptr, ansiFile.c_str());
  int rows = RowCount(list);
  WritePrivateProfileStringA("Addresses", "Total", std::to_string(rows).c_str(), ansiFile.c_str());
  for (int i = 0; i < rows; ++i) {
    char key[32];
    std::snprintf(key, sizeof key, "Address[%05d]", i + 1);
    WritePrivateProfileStringA("Addresses", key, ToAnsi(RowTag(list, i)).c_str(), ansiFile.c_str());
  }
  return Seconds(start);
}

struct LoadSave {
  double load, save;
};

LoadSave OurLoadSave(const std::wstring& folder, int entries) {
  std::wstring exe = folder + L"parvox.exe";
  auto window = std::make_unique<MainWindow>();
  window->Create(L"", exe);  // starts with no book
  WriteFileBytes(folder + L"Address Book.ini", GenerateBook(entries));
  LARGE_INTEGER start = Now();
  window->Book().LoadAddressBook();
  double load = Seconds(start);
  start = Now();
  window->Book().SaveAddressBook();
  double save = Seconds(start);
  DestroyWindow(window->Handle());
  PumpMessages();
  DeleteFileW((folder + L"Address Book.ini").c_str());
  return {load, save};
}

// Shutdown adds its keys to a [Settings] section that a hand or another program filled with
// 100,000 comment lines: each added key must cost one pass over the file, not one per line.
double LongSettingsShutdownSeconds(const std::wstring& folder) {
  std::string bytes = "[Settings]\r\n";
  for (int i = 0; i < 100000; ++i) bytes += "; note " + std::to_string(i) + "\r\n";
  bytes += "[Addresses]\r\nTotal=0\r\n";
  std::wstring file = folder + L"Address Book.ini";
  WriteFileBytes(file, bytes);
  auto window = std::make_unique<MainWindow>();
  window->Create(L"", folder + L"parvox.exe");
  PumpMessages();
  LARGE_INTEGER start = Now();
  DestroyWindow(window->Handle());
  PumpMessages();
  double seconds = Seconds(start);
  DeleteFileW(file.c_str());
  return seconds;
}

ProcessFigures MeasureInChildProcess(const std::wstring& what, const std::wstring& folder) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  // Without its trailing backslash, which would escape the closing quote.
  std::wstring folderArgument = folder.substr(0, folder.size() - 1);
  std::wstring commandLine =
      L"\"" + std::wstring(self) + L"\" --child " + what + L" \"" + folderArgument + L"\"";
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  ProcessFigures figures;
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return figures;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  HANDLE file = CreateFileW((folder + L"figures.bin").c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  DWORD read = 0;
  ReadFile(file, &figures, sizeof figures, &read, nullptr);
  CloseHandle(file);
  DeleteFileW((folder + L"figures.bin").c_str());
  return figures;
}

}  // namespace

ProcessFigures MeasureInChildProcesses(const std::wstring& what, const std::wstring& folder) {
  // Wine's heap lands in one of a few very different states from run to run: take the middle one.
  std::vector<double> seconds, megabytes;
  for (int run = 0; run < 3; ++run) {
    ProcessFigures figures = MeasureInChildProcess(what, folder);
    seconds.push_back(figures.seconds);
    megabytes.push_back(figures.workingSetMegabytes);
  }
  std::sort(seconds.begin(), seconds.end());
  std::sort(megabytes.begin(), megabytes.end());
  return {seconds[1], megabytes[1]};
}

void RunBookBenchmarks(Table& table) {
  std::wstring folder = NewTempFolder();

  table.Add("floor: bare list view, 100000 rows", BareListSeconds(kLarge), "s");
  LoadSave large = OurLoadSave(folder, kLarge);
  table.Add("LoadAddressBook, 100000 entries", large.load, "s",
            "floor: bare list view, 100000 rows");
  table.Add("SaveAddressBook, 100000 entries", large.save, "s",
            "floor: bare list view, 100000 rows");

  LoadSave small = OurLoadSave(folder, kSmall);
  std::wstring profileFile = folder + L"profile.ini";
  WriteFileBytes(profileFile, GenerateBook(kSmall));
  auto window = std::make_unique<MainWindow>();
  window->Create(L"", folder + L"parvox.exe");
  table.Add("baseline: per-key profile load, 4000 entries",
            ProfileLoadSeconds(profileFile, window->AddressList()), "s");
  table.Add("LoadAddressBook, 4000 entries", small.load, "s",
            "baseline: per-key profile load, 4000 entries");
  table.Add("baseline: per-key profile save, 4000 entries",
            ProfileSaveSeconds(profileFile, window->AddressList()), "s");
  table.Add("SaveAddressBook, 4000 entries", small.save, "s",
            "baseline: per-key profile save, 4000 entries");
  DestroyWindow(window->Handle());
  PumpMessages();
  window.reset();

  table.Add("shutdown with a 100,000-line [Settings] section", LongSettingsShutdownSeconds(folder),
            "s");

  // Start-up and memory are measured in processes of their own, as a user starts the program.
  ProcessFigures floor = MeasureInChildProcesses(kFloor, folder);
  table.Add("working set: bare list view, 100000 rows", floor.workingSetMegabytes, "MB");
  WriteFileBytes(folder + L"Address Book.ini", GenerateBook(kLarge));
  ProcessFigures startup = MeasureInChildProcesses(kStartup, folder);
  table.Add("start-up to shown window, 100000 entries", startup.seconds, "s",
            "floor: bare list view, 100000 rows");
  table.Add("working set after that start-up", startup.workingSetMegabytes, "MB",
            "working set: bare list view, 100000 rows");

  table.Goal("LoadAddressBook, 100000 entries", 1.2, true);
  table.Goal("SaveAddressBook, 100000 entries", 0.3);
  table.Goal("start-up to shown window, 100000 entries", 2.5);
  table.Goal("working set after that start-up", 150);
  table.Goal("shutdown with a 100,000-line [Settings] section", 1.0);
}

double WorkingSetMegabytes() {
  PROCESS_MEMORY_COUNTERS memory{sizeof memory};
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  return static_cast<double>(memory.WorkingSetSize) / (1024.0 * 1024.0);
}

ProcessFigures MeasureInThisProcess(const std::wstring& what, const std::wstring& folder) {
  ProcessFigures figures;
  if (what == kFloor) {
    HWND list = CreateBareList();
    std::vector<std::wstring> tags;
    figures.seconds = FillBareList(list, kLarge, tags);
    PumpMessages();
    figures.workingSetMegabytes = WorkingSetMegabytes();
    return figures;
  }
  LARGE_INTEGER start = Now();
  auto window = std::make_unique<MainWindow>();
  window->Create(L"", folder + L"parvox.exe");
  PumpMessages();
  figures.seconds = Seconds(start);
  figures.workingSetMegabytes = WorkingSetMegabytes();
  DestroyWindow(window->Handle());
  PumpMessages();
  return figures;
}

}  // namespace parvox::bench
