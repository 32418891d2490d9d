// A real main window started against a settings file in a fresh temp folder, with message
// boxes answered by the test.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "support/MessagePump.h"
#include "support/TempFolder.h"

namespace parvox::test {

// Pumps until the built-in sends have their receipts in (or their time is up) and have logged.
void WaitForReceipts();
// A UDP port nothing listens on right now, for a test's `Network Port`: no other Parvox on this
// machine then answers what the test sends.
uint16_t FreeUdpPort();
// Clicks a button of a dialog as the user would (BM_CLICK).
void ClickItem(HWND dialog, int id);

struct ShownMessageBox {
  std::wstring text, caption;
  UINT flags;
};

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  void Start(const std::wstring& commandLine = L"");
  void Close();
  void WriteSettings(const std::string& bytes);
  // Starts with `book` as the address book, sending by the built-in path or by NET, on a free
  // network port and not receiving.
  void StartWithBook(const std::string& book, bool internalSend);
  std::wstring SettingsFile() const { return folder.File(L"Address Book.ini"); }
  HWND List() const { return window->AddressList(); }
  void SetMessage(const std::wstring& text);
  // Presses and releases a key on a control, with the given modifier keys held, through the
  // program's own message loop step (so dialog navigation sees it as it sees a user's key).
  void PressKey(HWND control, WORD key, bool ctrl, bool shift = false, bool alt = false);
  // Runs `command`, which opens a modal dialog of `dialogClass`; `answer` gets the dialog once it
  // is up and must close it (or leave it open to be closed by the fixture, which fails the test).
  void WithDialog(const wchar_t* dialogClass, const std::function<void()>& command,
                  const std::function<void(HWND)>& answer);
  void Click(MainControlId id);
  void Command(int menuId);

  TempFolder folder;
  std::unique_ptr<MainWindow> window;
  // Message boxes shown since the test began; each is answered with `answer`.
  static std::vector<ShownMessageBox> shownBoxes;
  static int answer;
};

}  // namespace parvox::test
