// Every static text of the four windows shows whole at 96, 120 and 144 DPI: the labels make
// room for their text in whatever the font's metrics turn out to be.
#include <windows.h>

// The other platform headers build on windows.h.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "addressbook/EntryEditor.h"
#include "components/ScreenDpi.h"
#include "log/Log.h"
#include "log/LogWindow.h"
#include "settings/SettingsDialog.h"
#include "support/MainWindowFixture.h"

namespace parvox {
namespace {

using test::ClickItem;
using TextFitTest = test::MainWindowTest;

constexpr wchar_t kDpiVariable[] = L"PARVOX_TEXT_FIT_DPI";
constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";

BOOL CALLBACK CollectChild(HWND child, LPARAM found) {
  reinterpret_cast<std::vector<HWND>*>(found)->push_back(child);
  return TRUE;
}

// Each text-bearing static control needs no more room than it has, and lies inside the window.
void ExpectWholeTexts(HWND window, const char* name) {
  SCOPED_TRACE(name);
  std::vector<HWND> children;
  EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
  RECT client;
  GetClientRect(window, &client);
  for (HWND child : children) {
    wchar_t className[32] = L"";
    GetClassNameW(child, className, 32);
    std::wstring text = WindowText(child);
    LONG type = GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK;
    if (lstrcmpiW(className, L"Static") != 0 || text.empty() || type != SS_LEFT) continue;
    SCOPED_TRACE(testing::Message() << "label " << GetDlgCtrlID(child));
    RECT box;
    GetClientRect(child, &box);
    HDC dc = GetDC(child);
    HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(child, WM_GETFONT, 0, 0)));
    RECT needed{0, 0, box.right, 0};
    DrawTextW(dc, text.c_str(), -1, &needed,
              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    SelectObject(dc, previous);
    ReleaseDC(child, dc);
    EXPECT_LE(needed.bottom, box.bottom) << "the last line is cut";
    EXPECT_LE(needed.right, box.right) << "a word is cut";
    RECT place;
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
    EXPECT_LE(place.bottom, client.bottom) << "the label runs off the window";
    EXPECT_LE(place.right, client.right) << "the label runs off the window";
  }
}

DWORD RunAtDpi(DWORD dpi) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --gtest_filter=TextFitTest.*";
  SetEnvironmentVariableW(kDpiVariable, std::to_wstring(dpi).c_str());
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  bool started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, &startup, &process);
  SetEnvironmentVariableW(kDpiVariable, nullptr);
  if (!started) return static_cast<DWORD>(-1);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

// The system resolution is read when a process starts, so each one is checked in a process of
// its own, with the desktop's setting changed for it and put back afterwards. (Wine takes the
// setting up per process; Windows only at the next sign-in, and the child then says so.)
TEST_F(TextFitTest, EveryStaticTextShowsWholeAtEachDpi) {
  if (const wchar_t* wanted = _wgetenv(kDpiVariable)) {
    ASSERT_EQ(ScreenDpi(), _wtoi(wanted)) << "the resolution was not taken up";
    Start();
    ExpectWholeTexts(window->Handle(), "main window");
    WithDialog(
        L"ParvoxEdit", [&] { Click(kIdCmdAdd); },
        [&](HWND dialog) {
          ExpectWholeTexts(dialog, "entry editor");
          ClickItem(dialog, EntryEditor::kCmdCancel);
        });
    WithDialog(
        L"ParvoxSettings", [&] { Command(kMSettings); },
        [&](HWND dialog) {
          ExpectWholeTexts(dialog, "settings dialog");
          ClickItem(dialog, SettingsDialog::kCmdCancel);
        });
    ShowLogWindow();
    ExpectWholeTexts(LogWindowHandle(), "log window");
    UnloadLogWindow();
    return;
  }
  HKEY desktop = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                            nullptr, &desktop, nullptr),
            ERROR_SUCCESS);
  DWORD saved = 0, size = sizeof saved;
  bool hadValue = RegQueryValueExW(desktop, L"LogPixels", nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(&saved), &size) == ERROR_SUCCESS;
  for (DWORD dpi : {96, 120, 144}) {
    RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                   sizeof dpi);
    EXPECT_EQ(RunAtDpi(dpi), 0u) << "at " << dpi << " DPI (the child's output says what)";
  }
  if (hadValue) {
    RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&saved),
                   sizeof saved);
  } else {
    RegDeleteValueW(desktop, L"LogPixels");
  }
  RegCloseKey(desktop);
}

}  // namespace
}  // namespace parvox
