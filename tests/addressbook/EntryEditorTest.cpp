// The entry editor and the address-book commands of the main window, on the real dialogs.
#include <windows.h>

// The other platform headers build on windows.h.
#include <commctrl.h>
#include <gtest/gtest.h>

#include "addressbook/AddressList.h"
#include "addressbook/EntryEditor.h"
#include "components/ListViewChecks.h"
#include "settings/SettingsFile.h"
#include "support/MainWindowFixture.h"

namespace parvox {
namespace {

using test::ClickItem;
using EntryEditorTest = test::MainWindowTest;
using AddressBookCommandTest = test::MainWindowTest;

constexpr wchar_t kEditClass[] = L"ParvoxEdit";

const char kThreeEntries[] =
    "[Settings]\r\nLast Selected=\r\n[Addresses]\r\nTotal=3\r\n"
    "Address[00001]=ADDRESS=pc2|DESCRIPTION=second|TYPE=0\r\n"
    "Address[00002]=ADDRESS=a|X=7|DESCRIPTION=d|TYPE=0\r\n"
    "Address[00003]=ADDRESS=odd|DESCRIPTION=hand edited|TYPE=7\r\n";

HWND Box(HWND dialog, int id) { return GetDlgItem(dialog, id); }
bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void SelectRow(HWND list, int row) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void PutOnClipboard(HWND owner, const std::wstring& text) {
  if (!OpenClipboard(owner)) return;
  EmptyClipboard();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  wcscpy_s(static_cast<wchar_t*>(GlobalLock(memory)), text.size() + 1, text.c_str());
  GlobalUnlock(memory);
  SetClipboardData(CF_UNICODETEXT, memory);
  CloseClipboard();
}

int RowImage(HWND list, int row) {
  LVITEMW item{};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  return item.iImage;
}

TEST_F(EntryEditorTest, AddProposesTheNextNewUserAndCancelChangesNothing) {
  Start();
  WithDialog(
      kEditClass, [&] { Click(kIdCmdAdd); },
      [&](HWND dialog) {
        EXPECT_EQ(WindowText(dialog), L"Add a new entry..");
        EXPECT_EQ(WindowText(Box(dialog, EntryEditor::kTxtAddress)), L"New User 0");
        EXPECT_EQ(WindowText(Box(dialog, EntryEditor::kTxtDescription)), L"");
        EXPECT_TRUE(Checked(dialog, EntryEditor::kOptUserOrMachine));
        EXPECT_EQ(GetFocus(), Box(dialog, EntryEditor::kTxtAddress));
        SetWindowTextW(Box(dialog, EntryEditor::kTxtAddress), L"changed");
        ClickItem(dialog, EntryEditor::kCmdCancel);
      });
  EXPECT_EQ(RowCount(List()), 0);
  EXPECT_FALSE(test::FileExists(SettingsFile()));
  EXPECT_EQ(window->StatusText(), L"Begin by adding an entry to your address book..");
  EXPECT_TRUE(IsWindowEnabled(window->Handle())) << "the main window takes input again";
}

TEST_F(EntryEditorTest, AcceptWithEmptyFieldsAddsAndSaves) {
  WriteSettings(kThreeEntries);
  Start();
  WithDialog(
      kEditClass, [&] { Click(kIdCmdAdd); },
      [&](HWND dialog) {
        EXPECT_EQ(WindowText(Box(dialog, EntryEditor::kTxtAddress)), L"New User 3");
        SetWindowTextW(Box(dialog, EntryEditor::kTxtAddress), L"");
        ClickItem(dialog, EntryEditor::kCmdAddEntry);
      });
  ASSERT_EQ(RowCount(List()), 4);
  EXPECT_EQ(RowTag(List(), 3), L"ADDRESS=|DESCRIPTION=|TYPE=0");
  EXPECT_FALSE(IsItemChecked(List(), 3));
  EXPECT_EQ(window->StatusText(), L"The address book has been updated and saved.");
  EXPECT_EQ(ReadIniValue(L"Addresses", L"Address[00004]", L"<none>", SettingsFile()),
            L"ADDRESS=|DESCRIPTION=|TYPE=0");
  EXPECT_EQ(ReadIniValue(L"Addresses", L"Total", L"", SettingsFile()), L"4");
}

TEST_F(EntryEditorTest, NeitherKeysPasteNorSetTextLetTheDelimiterIn) {
  Start();
  WithDialog(
      kEditClass, [&] { Click(kIdCmdAdd); },
      [&](HWND dialog) {
        HWND address = Box(dialog, EntryEditor::kTxtAddress),
             description = Box(dialog, EntryEditor::kTxtDescription);
        SetWindowTextW(address, L"");
        for (wchar_t c : std::wstring(L"pc|1")) SendMessageW(address, WM_CHAR, c, 1);
        EXPECT_EQ(WindowText(address), L"pc1");
        SetWindowTextW(description, L"");
        for (wchar_t c : std::wstring(L"a=b")) SendMessageW(description, WM_CHAR, c, 1);
        SetWindowTextW(address, L"");
        PutOnClipboard(dialog, L"x|y||z");
        SendMessageW(address, WM_PASTE, 0, 0);
        EXPECT_EQ(WindowText(address), L"xyz");
        // Text set by other means than typing (automation) is cleaned when the entry is accepted.
        SendMessageW(description, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"a=b|TYPE=1"));
        ClickItem(dialog, EntryEditor::kCmdAddEntry);
      });
  ASSERT_EQ(RowCount(List()), 1);
  EXPECT_EQ(RowTag(List(), 0), L"ADDRESS=xyz|DESCRIPTION=a=bTYPE=1|TYPE=0");
}

TEST_F(EntryEditorTest, EscapeClosesFromTheTextBoxesOnly) {
  Start();
  WithDialog(
      kEditClass, [&] { Click(kIdCmdAdd); },
      [&](HWND dialog) {
        // Escape on a button goes through the dialog's keyboard handling and must do nothing.
        HWND cancel = Box(dialog, EntryEditor::kCmdCancel);
        SetFocus(cancel);
        MSG key{cancel, WM_KEYDOWN, VK_ESCAPE, 1};
        IsDialogMessageW(dialog, &key);
        EXPECT_TRUE(IsWindow(dialog));
        SendMessageW(Box(dialog, EntryEditor::kTxtDescription), WM_CHAR, 27, 1);
        EXPECT_FALSE(IsWindow(dialog));
      });
  EXPECT_EQ(RowCount(List()), 0);
  EXPECT_FALSE(test::FileExists(SettingsFile()));
}

TEST_F(EntryEditorTest, EditKeepsOtherFieldsAndSetsTheIcon) {
  WriteSettings(kThreeEntries);
  Start();
  SelectRow(List(), 1);
  WithDialog(
      kEditClass, [&] { Click(kIdCmdEdit); },
      [&](HWND dialog) {
        EXPECT_EQ(WindowText(dialog), L"Editing entry: a");
        EXPECT_EQ(WindowText(Box(dialog, EntryEditor::kTxtDescription)), L"d");
        SetWindowTextW(Box(dialog, EntryEditor::kTxtAddress), L"b");
        SendMessageW(Box(dialog, EntryEditor::kLabDomain), WM_LBUTTONDOWN, MK_LBUTTON,
                     0);  // the label selects its option
        SendMessageW(Box(dialog, EntryEditor::kLabDomain), WM_LBUTTONUP, 0, 0);
        EXPECT_TRUE(Checked(dialog, EntryEditor::kOptDomain));
        ClickItem(dialog, EntryEditor::kCmdAddEntry);
      });
  EXPECT_EQ(RowTag(List(), 1), L"ADDRESS=b|X=7|DESCRIPTION=d|TYPE=1");
  EXPECT_EQ(RowText(List(), 1), L"b");
  EXPECT_EQ(RowImage(List(), 1), 2);
  EXPECT_EQ(ReadIniValue(L"Addresses", L"Address[00002]", L"", SettingsFile()),
            L"ADDRESS=b|X=7|DESCRIPTION=d|TYPE=1");
}

TEST_F(EntryEditorTest, HandEditedTypeOpensAsDomainAndAccepts) {
  WriteSettings(kThreeEntries);
  Start();
  SelectRow(List(), 2);
  WithDialog(
      kEditClass, [&] { Command(kMEditSelected); },
      [&](HWND dialog) {
        EXPECT_TRUE(Checked(dialog, EntryEditor::kOptDomain));
        ClickItem(dialog, EntryEditor::kCmdAddEntry);
      });
  EXPECT_EQ(RowTag(List(), 2), L"ADDRESS=odd|DESCRIPTION=hand edited|TYPE=1");
}

TEST_F(EntryEditorTest, EditingTheRowOfAMissingKeyStoresWhatWasTyped) {
  WriteSettings("[Addresses]\r\nTotal=2\r\nAddress[00001]=ADDRESS=pc1|DESCRIPTION=one|TYPE=0\r\n");
  Start();
  SelectRow(List(), 1);
  WithDialog(
      kEditClass, [&] { Click(kIdCmdEdit); },
      [&](HWND dialog) {
        SetWindowTextW(Box(dialog, EntryEditor::kTxtAddress), L"pc2");
        SetWindowTextW(Box(dialog, EntryEditor::kTxtDescription), L"two");
        ClickItem(dialog, EntryEditor::kCmdAddEntry);
      });
  EXPECT_EQ(RowTag(List(), 1), L"ADDRESS=pc2|DESCRIPTION=two|TYPE=1");
  EXPECT_EQ(ReadIniValue(L"Addresses", L"Address[00002]", L"", SettingsFile()),
            L"ADDRESS=pc2|DESCRIPTION=two|TYPE=1");
}

TEST_F(EntryEditorTest, PasteStopsAtTheFirstLineBreak) {
  Start();
  WithDialog(
      kEditClass, [&] { Click(kIdCmdAdd); },
      [&](HWND dialog) {
        HWND address = Box(dialog, EntryEditor::kTxtAddress);
        SetWindowTextW(address, L"");
        PutOnClipboard(dialog, L"p|c1\r\npc2");
        SendMessageW(address, WM_PASTE, 0, 0);
        EXPECT_EQ(WindowText(address), L"pc1");
        ClickItem(dialog, EntryEditor::kCmdCancel);
      });
}

TEST_F(AddressBookCommandTest, RemoveAsksAndWalksFromTheLastRow) {
  WriteSettings(kThreeEntries);
  Start();
  window->SetStatusText(L"-");
  Click(kIdCmdRemove);
  EXPECT_EQ(window->StatusText(), L"No entries have been selected (checkmarked) for removal.");
  EXPECT_TRUE(shownBoxes.empty());

  SetItemChecked(List(), 0, true);
  SetItemChecked(List(), 2, true);
  answer = IDNO;
  Click(kIdCmdRemove);
  ASSERT_EQ(shownBoxes.size(), 1u);
  EXPECT_EQ(shownBoxes[0].text, L"All checked entries will be removed - continue?");
  EXPECT_EQ(shownBoxes[0].caption, L"Remove selected entries..");
  EXPECT_EQ(shownBoxes[0].flags, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
  EXPECT_EQ(RowCount(List()), 3);
  EXPECT_TRUE(IsItemChecked(List(), 2));

  answer = IDYES;
  Click(kIdCmdRemove);
  ASSERT_EQ(RowCount(List()), 1);
  EXPECT_EQ(RowText(List(), 0), L"a");
  EXPECT_EQ(ReadIniValue(L"Addresses", L"Total", L"", SettingsFile()), L"1");
  EXPECT_EQ(ReadIniValue(L"Addresses", L"Address[00001]", L"", SettingsFile()),
            L"ADDRESS=a|X=7|DESCRIPTION=d|TYPE=0");

  SetItemChecked(List(), 0, true);
  Click(kIdCmdRemove);
  EXPECT_EQ(RowCount(List()), 0);
  EXPECT_EQ(ReadIniValue(L"Addresses", L"Total", L"", SettingsFile()), L"0");
  EXPECT_FALSE(IsWindowEnabled(window->Control(kIdCmdEdit)));
  EXPECT_FALSE(IsWindowEnabled(window->Control(kIdCmdRemove)));
  EXPECT_FALSE(window->IsMenuEnabled(kMEditSelected));
  EXPECT_FALSE(window->IsMenuEnabled(kMSelection));
}

TEST_F(AddressBookCommandTest, SortSavesEvenWhenTheOrderStays) {
  Start();
  NMLISTVIEW click{};
  click.hdr = {List(), static_cast<UINT_PTR>(kIdLvwAddressBook),
               static_cast<UINT>(LVN_COLUMNCLICK)};
  click.iSubItem = 0;
  SendMessageW(window->Handle(), WM_NOTIFY, kIdLvwAddressBook, reinterpret_cast<LPARAM>(&click));
  EXPECT_FALSE(test::FileExists(SettingsFile())) << "an empty list neither sorts nor saves";
  Close();

  WriteSettings(kThreeEntries);
  Start();
  SendMessageW(window->Handle(), WM_NOTIFY, kIdLvwAddressBook, reinterpret_cast<LPARAM>(&click));
  EXPECT_EQ(RowText(List(), 0), L"a");
  EXPECT_EQ(RowText(List(), 1), L"odd");
  EXPECT_EQ(RowText(List(), 2), L"pc2");
  EXPECT_EQ(ReadIniValue(L"Addresses", L"Address[00001]", L"", SettingsFile()),
            L"ADDRESS=a|X=7|DESCRIPTION=d|TYPE=0");
  EXPECT_EQ(window->StatusText(), L"The address book has been updated and saved.");

  click.iSubItem = 1;  // by description: "d", "hand edited", "second"
  test::WriteBytes(SettingsFile(), "");
  SendMessageW(window->Handle(), WM_NOTIFY, kIdLvwAddressBook, reinterpret_cast<LPARAM>(&click));
  EXPECT_EQ(ReadIniValue(L"Addresses", L"Total", L"", SettingsFile()), L"3")
      << "saved although unchanged";
}

TEST_F(AddressBookCommandTest, SaveThatCannotWriteChangesNothingAndSaysSo) {
  WriteSettings(kThreeEntries);
  Start();
  SetFileAttributesW(SettingsFile().c_str(), FILE_ATTRIBUTE_READONLY);
  window->SetStatusText(L"-");
  SetItemChecked(List(), 0, true);
  answer = IDYES;
  Click(kIdCmdRemove);  // removes the row, then the save fails
  SetFileAttributesW(SettingsFile().c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_EQ(shownBoxes.size(), 2u);
  EXPECT_EQ(shownBoxes[1].text.rfind(L"There was an error saving the address book: \r\n\t", 0), 0u);
  EXPECT_EQ(shownBoxes[1].caption, L"Parvox v" PARVOX_TEST_VERSION);
  EXPECT_EQ(shownBoxes[1].flags, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
  EXPECT_EQ(test::ReadBytes(SettingsFile()), kThreeEntries);
  EXPECT_EQ(window->StatusText(), L"-");
}

TEST_F(AddressBookCommandTest, TickCommandsNeitherSaveNorReport) {
  WriteSettings(kThreeEntries);
  Start();
  std::string before = test::ReadBytes(SettingsFile());
  window->SetStatusText(L"-");
  Command(kMSelectAll);
  EXPECT_EQ(CountCheckedItems(List()), 3);
  SetItemChecked(List(), 1, false);
  Command(kMSelectInverted);
  EXPECT_EQ(CountCheckedItems(List()), 1);
  EXPECT_TRUE(IsItemChecked(List(), 1));
  Command(kMSelectNone);
  EXPECT_EQ(CountCheckedItems(List()), 0);
  EXPECT_EQ(window->StatusText(), L"-");
  EXPECT_EQ(test::ReadBytes(SettingsFile()), before);
}

TEST_F(AddressBookCommandTest, EmptyListOpensNoEditor) {
  Start();
  window->SetStatusText(L"-");
  NMITEMACTIVATE click{};
  click.hdr = {List(), static_cast<UINT_PTR>(kIdLvwAddressBook), static_cast<UINT>(NM_DBLCLK)};
  click.iItem = -1;
  SendMessageW(window->Handle(), WM_NOTIFY, kIdLvwAddressBook, reinterpret_cast<LPARAM>(&click));
  EXPECT_EQ(window->StatusText(), L"-") << "a double-click does nothing";
  Click(kIdCmdEdit);
  EXPECT_EQ(window->StatusText(), L"No entry to edit...");
  EXPECT_EQ(FindWindowW(kEditClass, nullptr), nullptr);
}

}  // namespace
}  // namespace parvox
