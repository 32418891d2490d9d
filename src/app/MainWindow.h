// The main window: address list, message editor and status line; creating it is start-up and
// destroying it is shutdown.
#pragma once

#include <windows.h>

// The control headers build on windows.h.
#include <commctrl.h>

#include <map>
#include <memory>
#include <string>

#include "addressbook/AddressBookStore.h"
#include "app/MainLayout.h"
#include "app/MainMenus.h"
#include "app/StatusHost.h"
#include "app/TrayIcon.h"
#include "components/ControlSubclass.h"
#include "components/Form.h"
#include "components/UniqueHandle.h"
#include "receiving/MessageInbox.h"
#include "receiving/MessengerSlotReceiver.h"
#include "receiving/NetworkReceiver.h"
#include "relay/RelayClient.h"
#include "sending/SendCommand.h"
#include "settings/SettingsHost.h"

namespace parvox {

class MainWindow : public Form,
                   public AddressBookHost,
                   public SettingsHost,
                   public SendHost,
                   public MessageReplyHost {
 public:
  ~MainWindow() override;

  // Runs the whole start-up sequence and shows the window unless it starts hidden.
  // `modulePath` is the executable's path, which decides where the settings file is.
  bool Create(const std::wstring& commandLine, const std::wstring& modulePath);

  HWND Control(int id) const { return Item(id); }
  HWND Owner() const override { return Handle(); }
  HWND AddressList() const override { return Control(kIdLvwAddressBook); }
  AddressBookStore& Book() override { return book_; }
  bool ReloadAfterRestore() override { return book_.LoadAddressBook(); }
  void SetStatusText(const std::wstring& text) override;
  std::wstring StatusText() const { return status_.Text(); }
  void UpdateEntryCommands() override;
  void SetShowHideMenus(bool showEnabled, bool hideEnabled);
  void ShowAboutBox();

  std::wstring MessageText() const override;
  // Clear: empties the message, focuses it and says so in the status line.
  void ClearMessage();
  HMENU Menu(MenuId id) const;
  bool IsMenuEnabled(MenuId id) const;
  // Opens one of the three pop-up menus at the mouse pointer.
  void OpenPopupMenu(MenuId id);
  // The notification-area icon's event, as the shell delivers it.
  void OnTrayEvent(LPARAM lParam);
  const TrayImage& SystemTrayImage() const { return imgSystemTray_; }
  // Set before the program itself shows or minimises the window: the next resize then leaves
  // the tray alone, once.
  bool SkipsNextResizeRule() const { return skipNextResizeRule_; }
  // The key handling of txtMsg, the list and four of the buttons (on key release).
  void KeyCommands(WPARAM key);
  // Starts or stops receiving to match the "Receive Messages" option.
  void ApplyReceiveOption();
  bool Receiving() const { return slotReceiver_ != nullptr && slotReceiver_->Running(); }
  MessageInbox& Inbox() { return *inbox_; }
  // The receiver's socket, so that the receipts of the built-in send come back to it.
  std::shared_ptr<UdpEndpoint> NetworkEndpoint() const override {
    return networkReceiver_ != nullptr ? networkReceiver_->Endpoint() : nullptr;
  }
  RelayClient* Relay() const override { return relay_.get(); }
  // A pop-up's Reply: done once the pop-up has gone (see OnReply).
  void ReplyTo(const std::wstring& address) override;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void CreateImageList();
  void CreateColumns();
  HWND CreateCustomControl(const ControlSpec& spec, const PixelBox& box) override;
  void ShowHelpText();
  void CreateMenus();
  void OnMessageChanged();
  void SaveViewState();
  // SaveViewState for the shutdown paths, which must go on whatever it meets.
  void TrySaveViewState();
  void OnCommand(int id, int code) override;
  LRESULT OnNotify(const NMHDR& header);
  void OnResize(WPARAM sizeType);
  void ShowFromTray();
  void HideToTray();
  void SubclassKeyControls();
  // What txtMsg, the list and the key buttons do before the control itself.
  LRESULT KeyControlMessage(const ControlMessage& message);
  // Shows the window with exactly the entries of the address ticked and the message box
  // focused; with no such entry, offers to add one.
  void OnReply();
  // Connects the relay of the settings file, if any, for the window's whole run.
  void OpenRelayIfSet();
  // Who has not acknowledged the messages that asked for it, in the log, which comes up.
  void LogNotAcknowledged();
  // Logs, once, who never acknowledged a message that expired since.
  void LogExpiredAcknowledgements();

  bool fillingHelpText_ = false;
  ImageListHandle images_;
  IconHandle windowIcon_;
  StatusHost status_;
  AddressBookStore book_{*this};
  std::map<MenuId, HMENU> menus_;  // the pop-ups: kMContext, kMSelection, kMSysTray, kMMenu
  MenuHandle menuBar_;             // never shown; owns the pop-ups
  TrayImage imgSystemTray_;
  IconHandle trayIcon_;
  bool skipNextResizeRule_ = false;
  UINT taskbarCreatedMessage_ = 0;
  // Before the receivers it hands messages to, so that they go first.
  std::unique_ptr<RelayClient> relay_;
  std::unique_ptr<MessageInbox> inbox_;
  std::unique_ptr<MessengerSlotReceiver> slotReceiver_;  // after the inbox it feeds
  std::unique_ptr<NetworkReceiver> networkReceiver_;     // likewise
  std::wstring pendingReply_;
};

// The help text shown in the message box at start-up.
std::wstring HelpText();
// "Your current message contains 1,024 characters.." with the user's digit grouping.
std::wstring CharacterCountText(size_t characters);

}  // namespace parvox
