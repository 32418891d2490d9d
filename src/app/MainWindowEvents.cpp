// The main window's menus, key commands, message editor and notification-area behaviour.
#include <windows.h>

// The control headers build on windows.h.
#include <commctrl.h>

#include <utility>

#include "addressbook/AddressBookCommands.h"
#include "addressbook/AddressList.h"
#include "app/MainWindow.h"
#include "components/MessageBoxSeam.h"
#include "components/Version.h"
#include "identity/UserKeyStore.h"
#include "log/Log.h"
#include "log/LogWindow.h"
#include "network/NetworkDatagram.h"
#include "sending/SendCommand.h"
#include "sending/SendText.h"
#include "settings/AppState.h"
#include "settings/BackupRestore.h"
#include "settings/SettingsDialog.h"

namespace parvox {

void MainWindow::CreateMenus() {
  menuBar_.Reset(CreateMenu());
  menus_[kMenuNone] = menuBar_.Get();
  // Submenus first get their own pop-up handle, then each entry is appended to its parent.
  for (const MenuSpec& spec : MainMenus()) {
    bool hasChildren = false;
    for (const MenuSpec& other : MainMenus()) hasChildren = hasChildren || other.parent == spec.id;
    if (hasChildren) menus_[spec.id] = CreatePopupMenu();
  }
  for (const MenuSpec& spec : MainMenus()) {
    HMENU parent = menus_[spec.parent];
    UINT flags = spec.enabled ? MF_ENABLED : MF_GRAYED;
    if (std::wstring(spec.caption) == L"-") {
      AppendMenuW(parent, MF_SEPARATOR, static_cast<UINT_PTR>(spec.id), nullptr);
    } else if (menus_.count(spec.id) != 0) {
      AppendMenuW(parent, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(menus_[spec.id]),
                  spec.caption);
    } else {
      AppendMenuW(parent, flags | MF_STRING, static_cast<UINT_PTR>(spec.id), spec.caption);
    }
  }
}

HMENU MainWindow::Menu(MenuId id) const {
  auto found = menus_.find(id);
  return found == menus_.end() ? nullptr : found->second;
}

bool MainWindow::IsMenuEnabled(MenuId id) const {
  for (const MenuSpec& spec : MainMenus()) {
    if (spec.id != id) continue;
    UINT state = GetMenuState(Menu(spec.parent), static_cast<UINT>(id), MF_BYCOMMAND);
    if (menus_.count(id) != 0) {
      // A submenu entry is found by position in its parent.
      HMENU parent = Menu(spec.parent);
      for (int i = 0, n = GetMenuItemCount(parent); i < n; ++i) {
        if (GetSubMenu(parent, i) == Menu(id))
          state = GetMenuState(parent, static_cast<UINT>(i), MF_BYPOSITION);
      }
    }
    return state != static_cast<UINT>(-1) && !(state & (MF_GRAYED | MF_DISABLED));
  }
  return false;
}

static void EnableMenuEntry(HMENU parent, HMENU submenu, UINT id, bool enabled) {
  UINT flags = enabled ? MF_ENABLED : MF_GRAYED;
  if (submenu == nullptr) {
    EnableMenuItem(parent, id, MF_BYCOMMAND | flags);
    return;
  }
  for (int i = 0, n = GetMenuItemCount(parent); i < n; ++i) {
    if (GetSubMenu(parent, i) == submenu)
      EnableMenuItem(parent, static_cast<UINT>(i), MF_BYPOSITION | flags);
  }
}

void MainWindow::UpdateEntryCommands() {
  bool hasRows = RowCount(AddressList()) > 0;
  EnableWindow(Control(kIdCmdEdit), hasRows);
  EnableWindow(Control(kIdCmdRemove), hasRows);
  EnableMenuEntry(Menu(kMContext), nullptr, kMEditSelected, hasRows);
  EnableMenuEntry(Menu(kMContext), Menu(kMSelection), kMSelection, hasRows);
}

void MainWindow::SetShowHideMenus(bool showEnabled, bool hideEnabled) {
  EnableMenuEntry(Menu(kMSysTray), nullptr, kMShowWindow, showEnabled);
  EnableMenuEntry(Menu(kMSysTray), nullptr, kMHideWindow, hideEnabled);
}

void MainWindow::ShowAboutBox() {
  // The key is what colleagues check a message against, and what an administrator hands out.
  std::wstring line = KnownSendersLine();
  std::wstring text = AboutText() + L"\r\n\r\nYour key's fingerprint: " + UserKeyFingerprint();
  if (!line.empty()) {
    text += L"\r\n\r\nYour key for other computers' [Known Senders] (Ctrl+C copies this box):\r\n" +
            line;
  }
  ShowMessageBox(Handle(), text, L"About..", MB_OK | MB_ICONINFORMATION);
}

void MainWindow::OpenPopupMenu(MenuId id) {
  POINT pointer;
  GetCursorPos(&pointer);
  // Without the foreground the menu would not close when the user clicks elsewhere.
  SetForegroundWindow(Handle());
  TrackPopupMenu(Menu(id), 0, pointer.x, pointer.y, 0, Handle(), nullptr);
  PostMessageW(Handle(), WM_NULL, 0, 0);
}

std::wstring MainWindow::MessageText() const { return WindowText(Control(kIdTxtMsg)); }

void MainWindow::ClearMessage() {
  HWND message = Control(kIdTxtMsg);
  SetWindowTextW(message, L"");
  OnMessageChanged();  // a multi-line edit reports no change for text set by the program
  SetFocus(message);
  SetStatusText(L"Message has been cleared..");
}

void MainWindow::OnMessageChanged() {
  if (fillingHelpText_) return;
  SetStatusText(CharacterCountText(static_cast<size_t>(GetWindowTextLengthW(Control(kIdTxtMsg)))));
}

void MainWindow::KeyCommands(WPARAM key) {
  bool ctrl = GetKeyState(VK_CONTROL) < 0, shift = GetKeyState(VK_SHIFT) < 0;
  bool alt = GetKeyState(VK_MENU) < 0;
  if (key == 'S' && ctrl && !shift && !alt) {
    SendMessageW(Handle(), WM_COMMAND, MAKEWPARAM(kIdCmdSend, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Control(kIdCmdSend)));
  } else if ((key == 'U' || key == 'K') && ctrl && !shift && !alt) {
    SendMessageW(Handle(), WM_COMMAND, key == 'U' ? kMSendUrgent : kMSendAcknowledged, 0);
  } else if (key == VK_ESCAPE && App().escapeMinimises) {
    ShowWindow(Handle(), SW_MINIMIZE);
  }
}

LRESULT MainWindow::KeyControlMessage(const ControlMessage& call) {
  // Every message of these controls comes here (a large list fills with many), so the control
  // is looked at only for the few messages that need it.
  auto messageBox = [&] { return call.control == Control(kIdTxtMsg); };
  // Run through dialog navigation, a multi-line edit answers Escape by posting WM_CLOSE to its
  // parent, which would quit the program; Escape means only what KeyCommands makes of it.
  if (call.message == WM_KEYDOWN && call.wParam == VK_ESCAPE && messageBox()) return 0;
  if (call.message == WM_KEYUP) KeyCommands(call.wParam);
  if (call.message == WM_LBUTTONDBLCLK && messageBox()) {
    ClearMessage();
    return 0;
  }
  return call.Default();
}

void MainWindow::SubclassKeyControls() {
  for (MainControlId id :
       {kIdTxtMsg, kIdLvwAddressBook, kIdCmdSend, kIdCmdEdit, kIdCmdMenu, kIdCmdClear}) {
    SubclassControl(Control(id),
                    [this](const ControlMessage& call) { return KeyControlMessage(call); });
  }
}

void MainWindow::ShowFromTray() {
  ShowWindow(Handle(), SW_SHOW);
  ShowWindow(Handle(), SW_RESTORE);
  SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  SetForegroundWindow(Handle());
  SetShowHideMenus(false, true);
}

void MainWindow::HideToTray() {
  ShowWindow(Handle(), SW_HIDE);
  SetShowHideMenus(true, false);
}

void MainWindow::OnTrayEvent(LPARAM lParam) {
  TrayAction action = DecodeTrayEvent(lParam);
  if (action != TrayAction::kNone && !IsWindowEnabled(Handle())) {
    // A dialog or message box of ours is up: its work must end first, so the icon only
    // brings it forward (quitting or hiding now would drop what is being edited).
    SetForegroundWindow(GetLastActivePopup(Handle()));
    return;
  }
  switch (action) {
    case TrayAction::kToggleWindow:
      skipNextResizeRule_ = true;
      if (IsWindowVisible(Handle())) {
        ShowWindow(Handle(), SW_MINIMIZE);
        HideToTray();
      } else {
        ShowFromTray();
      }
      break;
    case TrayAction::kOpenMenu:
      OpenPopupMenu(kMSysTray);
      break;
    case TrayAction::kNone:
      break;
  }
}

void MainWindow::OnReply() {
  std::wstring address = std::exchange(pendingReply_, std::wstring());
  if (!IsWindowEnabled(Handle())) {
    // A dialog of ours is open: its work comes first, as with the notification icon.
    SetForegroundWindow(GetLastActivePopup(Handle()));
    return;
  }
  if (!IsWindowVisible(Handle()) || IsIconic(Handle())) {
    skipNextResizeRule_ = true;
    ShowFromTray();
  } else {
    SetForegroundWindow(Handle());
  }
  if (TickOnlyAddress(AddressList(), address) == 0) {
    // A stranger chooses the From: one that names a share or a web folder is not offered as an
    // address, since a send would open it.
    if (!IsMailslotTargetName(address)) {
      SetStatusText(L"The sender's name " + address +
                    L" cannot receive mailslot messages, so it was not filled in.");
      address.clear();
    }
    AddEntryFor(*this, address);
  }
  SetFocus(Control(kIdTxtMsg));
}

void MainWindow::OnResize(WPARAM sizeType) {
  if (skipNextResizeRule_) {
    skipNextResizeRule_ = false;
  } else if (sizeType == SIZE_MINIMIZED) {
    HideToTray();
  } else if (sizeType == SIZE_RESTORED) {
    ShowWindow(Handle(), SW_SHOW);
    SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetShowHideMenus(false, true);
  }
}

void MainWindow::OnCommand(int id, int code) {
  switch (id) {
    case kIdTxtMsg:
      if (code == EN_CHANGE) OnMessageChanged();
      break;
    case kIdCmdSend:
      SendCommand(*this);
      break;
    case kIdCmdAdd:
      AddEntry(*this);
      break;
    case kIdCmdEdit:
    case kMEditSelected:
      EditEntry(*this);
      break;
    case kIdCmdRemove:
      RemoveCheckedEntries(*this);
      break;
    case kMSelectAll:
      CheckAllEntries(*this, true);
      break;
    case kMSelectNone:
      CheckAllEntries(*this, false);
      break;
    case kMSelectInverted:
      InvertEntryChecks(*this);
      break;
    case kIdCmdClear:
      ClearMessage();
      break;
    case kIdCmdAbout:
    case kMAbout:
      ShowAboutBox();
      break;
    case kIdCmdMenu:
      OpenPopupMenu(kMMenu);
      break;
    case kMShowWindow:
      skipNextResizeRule_ = true;
      ShowFromTray();
      break;
    case kMHideWindow:
      ShowWindow(Handle(), SW_MINIMIZE);
      HideToTray();
      break;
    case kMSettings: {
      SettingsDialog settings;
      if (settings.Open(Handle(), UserKeyFingerprint())) settings.RunModal();
      ApplyReceiveOption();
      break;
    }
    case kMLog:
      ShowLogWindow();
      break;
    case kMBackup:
      BackupCommand(*this);
      break;
    case kMRestore:
      RestoreCommand(*this);
      break;
    case kMQuit:
      PostMessageW(Handle(), WM_CLOSE, 0, 0);
      break;
    case kMSendUrgent:
      SendCommand(*this, kOptionUrgent | kOptionAcknowledgementRequested);
      break;
    case kMSendAcknowledged:
      SendCommand(*this, kOptionAcknowledgementRequested);
      break;
    case kMNotAcknowledged:
      LogNotAcknowledged();
      break;
    default:
      break;
  }
}

}  // namespace parvox
