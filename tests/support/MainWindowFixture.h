// A real main window started against a settings file in a fresh temp folder, with message
// boxes answered by the test.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/wMain.h"
#include "support/TempFolder.h"

namespace parvox::test {

void PumpMessages();
std::wstring WindowText(HWND window);

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
  std::wstring SettingsFile() const { return folder.File(L"Address Book.ini"); }
  HWND List() const { return window->AddressList(); }
  void SetMessage(const std::wstring& text);
  // Sends a key release to a control with the given modifier keys held.
  void ReleaseKey(HWND control, WORD key, bool ctrl, bool shift = false, bool alt = false);

  TempFolder folder;
  std::unique_ptr<wMain> window;
  // Message boxes shown since the test began; each is answered with `answer`.
  static std::vector<ShownMessageBox> shownBoxes;
  static int answer;
};

}  // namespace parvox::test
