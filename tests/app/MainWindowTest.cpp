// The main window's menus, key commands, message editor and hiding to the notification area.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>

#include "addressbook/AddressList.h"
#include "addressbook/EntryEditor.h"
#include "app/TrayIcon.h"
#include "components/ListViewChecks.h"
#include "identity/MessageSigning.h"
#include "identity/ThisComputer.h"
#include "identity/UserKeyStore.h"
#include "settings/AppState.h"
#include "settings/SettingsFile.h"
#include "support/MainWindowFixture.h"

namespace parvox {
namespace {

using MainWindowTest = test::MainWindowTest;
using test::ClickItem;
using test::PumpMessages;

const char kTwoEntries[] =
    "[Addresses]\r\nTotal=2\r\nAddress[00001]=ADDRESS=pc1|DESCRIPTION=a|TYPE=0\r\n"
    "Address[00002]=ADDRESS=SALES|DESCRIPTION=b|TYPE=1\r\n";

TEST_F(MainWindowTest, MenusStartWithTheirDesignStates) {
  WriteSettings(kTwoEntries);
  Start();
  for (MenuId id :
       {kMEditSelected, kMSelection, kMSelectAll, kMHideWindow, kMAbout, kMQuit, kMSettings, kMLog,
        kMBackup, kMRestore, kMSendUrgent, kMSendAcknowledged, kMNotAcknowledged}) {
    EXPECT_TRUE(window->IsMenuEnabled(id)) << id;
  }
  EXPECT_FALSE(window->IsMenuEnabled(kMShowWindow));
  EXPECT_EQ(GetMenuItemCount(window->Menu(kMContext)), 3);
  EXPECT_EQ(GetMenuItemCount(window->Menu(kMSysTray)), 5);
  // The design's five, then a rule and the urgent and acknowledged sends' three.
  EXPECT_EQ(GetMenuItemCount(window->Menu(kMMenu)), 9);
}

// Counts the popup menus that come up and closes each, from inside the menu's own loop.
int menusOpened = 0;
void CALLBACK CloseOpenMenu(HWND, UINT, UINT_PTR, DWORD) {
  HWND menu = FindWindowW(L"#32768", nullptr);
  if (menu == nullptr || !IsWindowVisible(menu)) return;
  ++menusOpened;
  EndMenu();
}

TEST_F(MainWindowTest, OnlyTheRightButtonOpensTheListMenu) {
  WriteSettings(kTwoEntries);
  Start();
  RECT row{LVIR_BOUNDS};
  SendMessageW(List(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
  LPARAM at = MAKELPARAM(row.left + 30, (row.top + row.bottom) / 2);
  struct Case {
    UINT down, up;
    WPARAM held;
    int menus;
  } cases[] = {{WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, 0},
               {WM_MBUTTONDOWN, WM_MBUTTONUP, MK_MBUTTON, 0},
               {WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.down);
    menusOpened = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 10, CloseOpenMenu);
    // The release is queued first: the list watches for it before it reports the click.
    PostMessageW(List(), c.up, 0, at);
    SendMessageW(List(), c.down, c.held, at);
    PumpMessages();
    KillTimer(nullptr, timer);
    EXPECT_EQ(menusOpened, c.menus);
  }
}

TEST_F(MainWindowTest, EntryCommandsFollowTheRowCount) {
  Start();
  EXPECT_FALSE(IsWindowEnabled(window->Control(kIdCmdEdit)));
  EXPECT_FALSE(IsWindowEnabled(window->Control(kIdCmdRemove)));
  EXPECT_FALSE(window->IsMenuEnabled(kMEditSelected));
  EXPECT_FALSE(window->IsMenuEnabled(kMSelection));
  EXPECT_TRUE(IsWindowEnabled(window->Control(kIdCmdAdd)));
  EXPECT_TRUE(IsWindowEnabled(window->Control(kIdCmdSend)));
}

TEST_F(MainWindowTest, LayoutFollowsTheControlTable) {
  Start();
  ASSERT_EQ(window->Dpi(), 96) << "the pixels below are at 96 dpi, 15 twips to the pixel";
  RECT client;
  GetClientRect(window->Handle(), &client);
  EXPECT_EQ(client.right, 588);   // 8820 twips
  EXPECT_EQ(client.bottom, 277);  // 4155 twips
  struct Place {
    int left, top, width, height;
  };
  // In the client area, the containers' offsets added: the list, for one, is 120 x 225 twips
  // into its frame at 45 x 30, so at 165 x 255; the buttons' strips are not windows of their own.
  const std::map<int, Place> places = {
      {kIdFraAddressBook, {3, 2, 316, 248}}, {kIdLvwAddressBook, {11, 17, 299, 199}},
      {kIdCmdAdd, {10, 219, 80, 24}},        {kIdCmdEdit, {92, 219, 80, 24}},
      {kIdCmdRemove, {174, 219, 80, 24}},    {kIdCmdMenu, {256, 219, 54, 24}},
      {kIdFraMessage, {317, 2, 268, 248}},   {kIdTxtMsg, {325, 15, 252, 201}},
      {kIdCmdSend, {325, 219, 107, 24}},     {kIdCmdClear, {434, 219, 72, 24}},
      {kIdCmdAbout, {508, 219, 69, 24}},     {kIdPicStatus, {0, 254, 588, 23}},
  };
  for (const ControlSpec& spec : MainControls()) {
    HWND control = window->Control(spec.id);
    if (spec.kind == ControlKind::kContainer) continue;
    SCOPED_TRACE(testing::Message() << spec.id);
    ASSERT_NE(control, nullptr);
    ASSERT_TRUE(places.contains(spec.id));
    const Place& place = places.at(spec.id);
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, window->Handle(), reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, place.left);
    EXPECT_EQ(rect.top, place.top);
    EXPECT_EQ(rect.right - rect.left, place.width);
    EXPECT_EQ(rect.bottom - rect.top, place.height);
  }
  // Tab order starts at the message box.
  EXPECT_EQ(GetNextDlgTabItem(window->Handle(), window->Control(kIdTxtMsg), FALSE),
            window->Control(kIdCmdSend));
}

// Pixels of the status line as the screen shows them: the panel, its icon and its text.
TEST_F(MainWindowTest, StatusLineIsDrawn) {
  Start();
  HWND status = window->Control(kIdPicStatus);
  UpdateWindow(status);
  RECT client;
  GetClientRect(status, &client);
  HDC screen = GetDC(status);
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  int inked = 0, blue = 0;
  for (int y = client.top; y < client.bottom; ++y) {
    for (int x = client.left; x < client.right / 2; ++x) {
      COLORREF pixel = GetPixel(screen, x, y);
      if (pixel != face) ++inked;
      if (GetBValue(pixel) > 150 && GetRValue(pixel) < 100) ++blue;  // the information icon
    }
  }
  ReleaseDC(status, screen);
  EXPECT_GT(inked, 300) << "border, icon and text leave marks on the button face";
  EXPECT_GT(blue, 20);
}

TEST_F(MainWindowTest, ClearByButtonAndDoubleClick) {
  Start();
  HWND message = window->Control(kIdTxtMsg);
  SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(kIdCmdClear, BN_CLICKED), 0);
  EXPECT_EQ(WindowText(message), L"");
  EXPECT_EQ(window->StatusText(), L"Message has been cleared..");
  SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(kIdCmdClear, BN_CLICKED), 0);
  EXPECT_EQ(window->StatusText(), L"Message has been cleared..") << "clearing an empty message";
  SetMessage(L"hello");
  EXPECT_EQ(window->StatusText(), L"Your current message contains 5 characters..");
  EXPECT_EQ(SendMessageW(message, EM_GETLIMITTEXT, 0, 0), 0xFFFFFFFF)
      << "long messages are not cut off";
  SendMessageW(message, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(WindowText(message), L"");
  EXPECT_EQ(window->StatusText(), L"Message has been cleared..");
  EXPECT_EQ(GetFocus(), message);
}

TEST_F(MainWindowTest, AboutBoxText) {
  Start();
  SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(kIdCmdAbout, BN_CLICKED), 0);
  SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(kMAbout, 0), 0);
  ASSERT_EQ(shownBoxes.size(), 2u);
  EXPECT_EQ(shownBoxes[0].caption, L"About..");
  const std::wstring& text = shownBoxes[0].text;
  const wchar_t* const opening =
      L"Program Version: " PARVOX_TEST_VERSION L"\r\nCompile Date: 6th December, 2004.\r\n\r\n";
  EXPECT_EQ(text.rfind(opening, 0), 0u);
  EXPECT_NE(text.find(L"Your key's fingerprint: " + KeyFingerprint(UserSigningKey()->PublicKey())),
            std::wstring::npos);
  EXPECT_NE(text.find(L"\\" + GetCurrentUserName() + L"=" + UserKeyFingerprint() + L" "),
            std::wstring::npos)
      << "the [Known Senders] line to hand out";
}

TEST_F(MainWindowTest, CtrlSSendsOnlyWithoutShiftOrAlt) {
  WriteSettings(kTwoEntries);
  Start();
  const std::wstring sendRan =
      L"You need to select at least one recipient to send your message to.";
  window->SetStatusText(L"-");
  PressKey(List(), 'S', true, true);
  EXPECT_EQ(window->StatusText(), L"-") << "Ctrl+Shift+S";
  PressKey(List(), 'S', true, false, true);
  EXPECT_EQ(window->StatusText(), L"-") << "Ctrl+Alt+S";
  PressKey(List(), 'S', false);
  EXPECT_EQ(window->StatusText(), L"-") << "S alone";
  PressKey(List(), 'S', true);
  EXPECT_EQ(window->StatusText(), sendRan);
  window->SetStatusText(L"-");
  PressKey(window->Control(kIdCmdAdd), 'S', true);
  EXPECT_EQ(window->StatusText(), L"-") << "Add is not one of the key controls";

  // In the message box the keys type as usual around the shortcut.
  HWND message = window->Control(kIdTxtMsg);
  SetMessage(L"ab");
  PressKey(message, VK_RETURN, false);
  EXPECT_EQ(WindowText(message), L"ab\r\n") << "Enter starts a new line";
  PressKey(message, 'S', true);
  EXPECT_EQ(window->StatusText(), sendRan);
  EXPECT_EQ(WindowText(message), L"ab\r\n") << "Ctrl+S typed nothing";
}

TEST_F(MainWindowTest, EscapeHidesFromTheSixControlsOnly) {
  Start();
  for (MainControlId id : {kIdCmdAdd, kIdCmdRemove, kIdCmdAbout}) {
    PressKey(window->Control(id), VK_ESCAPE, false);
    EXPECT_TRUE(IsWindowVisible(window->Handle())) << id;
  }
  for (MainControlId id :
       {kIdTxtMsg, kIdLvwAddressBook, kIdCmdSend, kIdCmdEdit, kIdCmdMenu, kIdCmdClear}) {
    SCOPED_TRACE(testing::Message() << id);
    PressKey(window->Control(id), VK_ESCAPE, false);
    EXPECT_FALSE(IsWindowVisible(window->Handle()));
    EXPECT_TRUE(IsIconic(window->Handle()));
    EXPECT_TRUE(window->IsMenuEnabled(kMShowWindow));
    EXPECT_FALSE(window->IsMenuEnabled(kMHideWindow));
    SendMessageW(window->Handle(), WM_COMMAND, kMShowWindow, 0);
    PumpMessages();
    EXPECT_TRUE(IsWindowVisible(window->Handle()));
    EXPECT_FALSE(IsIconic(window->Handle()));
  }
}

TEST_F(MainWindowTest, EscapeDoesNothingWhenTheOptionIsOff) {
  WriteSettings("[Settings]\r\nEscape Minimises=0\r\n");
  Start();
  SetMessage(L"a draft");
  for (MainControlId id : {kIdTxtMsg, kIdLvwAddressBook, kIdCmdSend, kIdCmdMenu, kIdCmdClear,
                           kIdCmdAdd, kIdCmdAbout}) {
    SCOPED_TRACE(testing::Message() << id);
    PressKey(window->Control(id), VK_ESCAPE, false);
    ASSERT_TRUE(IsWindow(window->Handle())) << "Escape closed the program";
    EXPECT_TRUE(IsWindowVisible(window->Handle()));
    EXPECT_EQ(WindowText(window->Control(kIdTxtMsg)), L"a draft");
  }
}

TEST_F(MainWindowTest, TabWalksTheControlsFromTheMessageBox) {
  WriteSettings(kTwoEntries);
  Start();
  const MainControlId order[] = {kIdTxtMsg,   kIdCmdSend,   kIdCmdClear, kIdCmdAdd,
                                 kIdCmdEdit,  kIdCmdRemove, kIdCmdMenu,  kIdLvwAddressBook,
                                 kIdCmdAbout, kIdTxtMsg};
  for (size_t i = 0; i + 1 < std::size(order); ++i) {
    SCOPED_TRACE(testing::Message() << "Tab from " << order[i]);
    PressKey(window->Control(order[i]), VK_TAB, false);
    EXPECT_EQ(GetFocus(), window->Control(order[i + 1]));
  }
  PressKey(window->Control(kIdCmdSend), VK_TAB, false, true);
  EXPECT_EQ(GetFocus(), window->Control(kIdTxtMsg)) << "Shift+Tab";
  EXPECT_EQ(WindowText(window->Control(kIdTxtMsg)).find(L'\t'), std::wstring::npos)
      << "Tab typed into the message";
}

TEST_F(MainWindowTest, TrayEventsToggleTheWindow) {
  Start();
  EXPECT_TRUE(window->SystemTrayImage().registered);
  for (LPARAM ignored :
       {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONDBLCLK}) {
    SendMessageW(window->Handle(), kTrayCallbackMessage, kTrayIconId, ignored);
    EXPECT_TRUE(IsWindowVisible(window->Handle())) << ignored;
  }
  SendMessageW(window->Handle(), kTrayCallbackMessage, kTrayIconId, WM_LBUTTONDBLCLK);
  PumpMessages();
  EXPECT_FALSE(IsWindowVisible(window->Handle()));
  EXPECT_TRUE(window->IsMenuEnabled(kMShowWindow));
  EXPECT_FALSE(window->IsMenuEnabled(kMHideWindow));
  EXPECT_FALSE(window->SkipsNextResizeRule()) << "the resize consumed the one-shot marker";

  SendMessageW(window->Handle(), kTrayCallbackMessage, kTrayIconId, WM_LBUTTONDBLCLK);
  PumpMessages();
  EXPECT_TRUE(IsWindowVisible(window->Handle()));
  EXPECT_FALSE(IsIconic(window->Handle()));
  EXPECT_FALSE(window->IsMenuEnabled(kMShowWindow));
  EXPECT_TRUE(window->IsMenuEnabled(kMHideWindow));
}

TEST_F(MainWindowTest, TrayOnlyBringsAnOpenDialogForward) {
  Start();
  WithDialog(
      L"ParvoxEdit", [&] { Click(kIdCmdAdd); },
      [&](HWND dialog) {
        SendMessageW(window->Handle(), kTrayCallbackMessage, kTrayIconId, WM_LBUTTONDBLCLK);
        PumpMessages();
        EXPECT_TRUE(IsWindowVisible(window->Handle())) << "hidden under an open dialog";
        ASSERT_TRUE(IsWindow(dialog)) << "the dialog was closed";
        ClickItem(dialog, EntryEditor::kCmdCancel);
      });
  SendMessageW(window->Handle(), kTrayCallbackMessage, kTrayIconId, WM_LBUTTONDBLCLK);
  PumpMessages();
  EXPECT_FALSE(IsWindowVisible(window->Handle())) << "with the dialog gone the icon works again";
}

TEST_F(MainWindowTest, EndOfSessionStoresTheTicks) {
  WriteSettings(kTwoEntries);
  Start();
  SetItemChecked(List(), 1, true);
  SendMessageW(window->Handle(), WM_ENDSESSION, TRUE, 0);
  EXPECT_EQ(ReadIniValue(L"Settings", L"Last Selected", L"<none>", SettingsFile()),
            RowText(List(), 1));
  EXPECT_FALSE(window->SystemTrayImage().registered) << "the icon is removed";
}

TEST_F(MainWindowTest, MinimisingByAnyMeansHides) {
  Start();
  ShowWindow(window->Handle(), SW_MINIMIZE);  // as the title bar's minimise box does
  PumpMessages();
  EXPECT_FALSE(IsWindowVisible(window->Handle()));
  SendMessageW(window->Handle(), WM_COMMAND, kMShowWindow, 0);
  SendMessageW(window->Handle(), WM_COMMAND, kMHideWindow, 0);
  PumpMessages();
  EXPECT_FALSE(IsWindowVisible(window->Handle()));
  EXPECT_TRUE(window->IsMenuEnabled(kMShowWindow));
}

TEST_F(MainWindowTest, StartedHiddenShowsOnTheFirstDoubleClick) {
  Start(L"parvox.exe MINIMIZE");
  EXPECT_FALSE(IsWindowVisible(window->Handle()));
  EXPECT_TRUE(window->IsMenuEnabled(kMShowWindow));
  SendMessageW(window->Handle(), kTrayCallbackMessage, kTrayIconId, WM_LBUTTONDBLCLK);
  PumpMessages();
  EXPECT_TRUE(IsWindowVisible(window->Handle()));
}

TEST(SystemTray, RemoveNeedsTheIconRegistered) {
  TrayImage image;
  RemoveTrayIcon(nullptr, image);  // not registered: nothing to remove, nothing happens
  EXPECT_FALSE(image.registered);
  image.registered = true;
  RemoveTrayIcon(nullptr, image);
  EXPECT_FALSE(image.registered);
  EXPECT_EQ(DecodeTrayEvent(515), TrayAction::kToggleWindow);
  EXPECT_EQ(DecodeTrayEvent(517), TrayAction::kOpenMenu);
  EXPECT_EQ(DecodeTrayEvent(MAKELPARAM(517, 7)), TrayAction::kOpenMenu);
  EXPECT_EQ(DecodeTrayEvent(516), TrayAction::kNone);
}

}  // namespace
}  // namespace parvox
