// The main window: address list, message editor and status line; creating it is start-up and
// destroying it is shutdown.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <map>
#include <string>

#include "addressbook/modFileIO.h"
#include "app/MainLayout.h"
#include "app/StatusHost.h"
#include "components/UniqueHandle.h"
#include "components/Window.h"

namespace parvox {

class wMain : public Window, public AddressBookHost {
 public:
  ~wMain() override;

  // Runs the whole start-up sequence and shows the window unless it starts hidden.
  // `modulePath` is the executable's path, which decides where the settings file is.
  bool Create(const std::wstring& commandLine, const std::wstring& modulePath);

  HWND Control(MainControlId id) const;
  HWND AddressList() const override { return Control(kIdLvwAddressBook); }
  void SetStatusText(const std::wstring& text) override;
  std::wstring StatusText() const { return status_.Text(); }
  void UpdateEntryCommands() override;
  int Dpi() const { return dpi_; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void CreateFonts();
  void CreateImageList();
  void CreateControls();
  HWND CreateControl(const ControlSpec& spec);
  void ShowHelpText();
  void OnMessageChanged();
  void SaveViewState();
  LRESULT OnNotify(const NMHDR& header);

  int dpi_ = 96;
  bool codeFired_ = false;
  FontHandle font_;
  FontHandle boldFont_;
  HIMAGELIST images_ = nullptr;
  IconHandle windowIcon_;
  IconHandle statusIcon_;
  StatusHost status_;
  std::map<MainControlId, HWND> controls_;
};

// The help text shown in the message box at start-up.
std::wstring HelpText();
// "Your current message contains 1,024 characters.." with the user's digit grouping.
std::wstring CharacterCountText(size_t characters);

}  // namespace parvox
