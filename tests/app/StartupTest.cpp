// Start-up and shutdown of the real main window against settings files in a temp folder.
#include <windows.h>

// The other platform headers build on windows.h.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "addressbook/AddressBookStore.h"
#include "addressbook/AddressList.h"
#include "app/MainWindow.h"
#include "components/ListViewChecks.h"
#include "settings/AppState.h"
#include "settings/SettingsFile.h"
#include "support/MainWindowFixture.h"

namespace parvox {
namespace {

using StartupTest = test::MainWindowTest;

TEST_F(StartupTest, FirstStartWithoutSettingsFile) {
  Start();
  EXPECT_EQ(WindowText(window->Handle()), L"Parvox v" PARVOX_TEST_VERSION);
  EXPECT_FALSE(App().startWithWindows);
  EXPECT_FALSE(App().startMinimised);
  EXPECT_TRUE(App().escapeMinimises);
  EXPECT_FALSE(App().internalSend);
  EXPECT_EQ(App().settingsFilePath, SettingsFile());
  EXPECT_EQ(window->StatusText(), L"Begin by adding an entry to your address book..");
  EXPECT_EQ(WindowText(window->Control(kIdPicStatus)), window->StatusText());

  HWND message = window->Control(kIdTxtMsg);
  DWORD start = 0, end = 0;
  SendMessageW(message, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, HelpText().size());
  EXPECT_EQ(SendMessageW(message, EM_GETFIRSTVISIBLELINE, 0, 0), 0)
      << "the help text shows from its first line";
  EXPECT_FALSE(IsWindowEnabled(window->Control(kIdCmdEdit)));
  EXPECT_FALSE(test::FileExists(SettingsFile())) << "start-up must not create the settings file";

  Close();
  EXPECT_EQ(ReadIniValue(L"Settings", L"Address Column Width", L"", SettingsFile()), L"1755");
  EXPECT_EQ(ReadIniValue(L"Settings", L"Description Column Width", L"", SettingsFile()), L"2100");
  EXPECT_EQ(ReadIniValue(L"Settings", L"Last Selected", L"<none>", SettingsFile()), L"");
}

TEST_F(StartupTest, EmptyFileGivesDefaults) {
  WriteSettings("");
  Start();
  EXPECT_TRUE(App().escapeMinimises);
  EXPECT_FALSE(App().internalSend);
  EXPECT_EQ(window->StatusText(), L"Begin by adding an entry to your address book..");
}

TEST_F(StartupTest, EveryKeyPresent) {
  WriteSettings(
      "[Settings]\r\nStart With Windows=True\r\nStart Minimised=2\r\nEscape Minimises=\r\n"
      "Internal Send=1\r\n");
  Start();
  EXPECT_TRUE(App().startWithWindows);
  EXPECT_TRUE(App().startMinimised);
  EXPECT_FALSE(App().escapeMinimises) << "present but empty is off, not the default";
  EXPECT_TRUE(App().internalSend);
  EXPECT_TRUE(IsIconic(window->Handle()));
}

TEST_F(StartupTest, OptionTextsThatMeanOff) {
  WriteSettings(
      "[Settings]\r\nStart With Windows=yes\r\nStart Minimised=abc\r\nInternal Send=0\r\n");
  Start();
  EXPECT_FALSE(App().startWithWindows);
  EXPECT_FALSE(App().startMinimised);
  EXPECT_TRUE(App().escapeMinimises);
  EXPECT_FALSE(IsIconic(window->Handle()));
}

TEST_F(StartupTest, MinimizeWordOnTheCommandLineStartsHidden) {
  Start(L"/MiniMize");
  EXPECT_TRUE(IsIconic(window->Handle()));
}

TEST_F(StartupTest, BookLoadsAndTicksComeBack) {
  WriteSettings(
      "[Settings]\r\nLast Selected=pc1|SALES|nobody\r\n"
      "[Addresses]\r\nTotal=4\r\nAddress[00001]=ADDRESS=pc1|DESCRIPTION=first|TYPE=0\r\n"
      "Address[00002]=ADDRESS=SALES|DESCRIPTION=Sales = floor|TYPE=1\r\n"
      "Address[00003]=ADDRESS=pc1|DESCRIPTION=again|TYPE=7\r\n");
  Start();
  ASSERT_EQ(RowCount(List()), 4);
  EXPECT_EQ(window->StatusText(),
            L"Place a check next to each user or domain you would like to send a message to and "
            L"click Send..");
  EXPECT_TRUE(IsWindowEnabled(window->Control(kIdCmdEdit)));
  EXPECT_EQ(RowTag(List(), 1), L"ADDRESS=SALES|DESCRIPTION=Sales = floor|TYPE=1");
  EXPECT_EQ(RowText(List(), 3), L"");
  EXPECT_EQ(RowTag(List(), 3), L"");

  LVITEMW item{};
  item.mask = LVIF_IMAGE | LVIF_TEXT;
  wchar_t text[64];
  item.pszText = text;
  item.cchTextMax = 64;
  const int expectedImages[] = {1, 2, 2, 2};  // a TYPE other than 0, or none, is a domain
  for (int row = 0; row < 4; ++row) {
    item.iItem = row;
    item.iSubItem = 0;
    SendMessageW(List(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(item.iImage, expectedImages[row]) << "row " << row;
  }
  item.iItem = 1;
  item.iSubItem = 1;
  SendMessageW(List(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_STREQ(text, L"Sales = floor");

  // Both rows named pc1 are ticked, and SALES; the missing name ticks nothing.
  EXPECT_TRUE(IsItemChecked(List(), 0));
  EXPECT_TRUE(IsItemChecked(List(), 1));
  EXPECT_TRUE(IsItemChecked(List(), 2));
  EXPECT_FALSE(IsItemChecked(List(), 3));

  SetItemChecked(List(), 0, false);
  Close();
  EXPECT_EQ(ReadIniValue(L"Settings", L"Last Selected", L"", SettingsFile()), L"SALES|pc1");
  EXPECT_EQ(ReadIniValue(L"Addresses", L"Total", L"", SettingsFile()), L"4")
      << "shutdown leaves the book alone";
}

TEST_F(StartupTest, HugeTotalEndsTheLoadQuickly) {
  WriteSettings(
      "[Addresses]\r\nTotal=2000000000\r\nAddress[00001]=ADDRESS=a|DESCRIPTION=|TYPE=0\r\n");
  auto begin = std::chrono::steady_clock::now();
  Start();
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(20));
  EXPECT_EQ(window->StatusText().rfind(L"Error loading address book: ", 0), 0u)
      << window->StatusText().size();
  EXPECT_EQ(RowCount(List()), 1);
}

TEST_F(StartupTest, MistypedTotalStillLoadsAndKeepsTheEntriesThere) {
  WriteSettings(
      "[Addresses]\r\nTotal=20000\r\nAddress[00001]=ADDRESS=pc1|DESCRIPTION=one|TYPE=0\r\n"
      "Address[00002]=ADDRESS=pc2|DESCRIPTION=two|TYPE=0\r\nAddress[00004]=ADDRESS=SALES|"
      "DESCRIPTION=|TYPE=1\r\n");
  Start();
  EXPECT_EQ(
      window->StatusText(),
      L"Error loading address book: \"Total\" claims 20000 entries, but the file holds only 3.");
  ASSERT_EQ(RowCount(List()), 4);
  EXPECT_EQ(RowText(List(), 1), L"pc2");
  EXPECT_EQ(RowTag(List(), 2), L"");
  EXPECT_EQ(RowText(List(), 3), L"SALES");

  // Saving what was loaded (as adding or editing an entry does) loses none of the entries.
  window->Book().SaveAddressBook();
  EXPECT_EQ(ReadIniValue(L"Addresses", L"Total", L"", SettingsFile()), L"4");
  EXPECT_EQ(ReadIniValue(L"Addresses", L"Address[00002]", L"", SettingsFile()),
            L"ADDRESS=pc2|DESCRIPTION=two|TYPE=0");
  EXPECT_EQ(ReadIniValue(L"Addresses", L"Address[00004]", L"", SettingsFile()),
            L"ADDRESS=SALES|DESCRIPTION=|TYPE=1");
}

TEST_F(StartupTest, EntriesTooFarBeyondTheOthersAreNeverSavedAway) {
  const std::string book =
      "[Addresses]\r\nTotal=5000\r\nAddress[00001]=ADDRESS=pc1|DESCRIPTION=|TYPE=0\r\n"
      "Address[02000]=ADDRESS=far|DESCRIPTION=|TYPE=0\r\n";
  WriteSettings(book);
  Start();
  EXPECT_EQ(
      window->StatusText(),
      L"Error loading address book: \"Total\" claims 5000 entries, but the file holds only 2.");
  EXPECT_EQ(RowCount(List()), 1);
  window->Book().SaveAddressBook();  // as adding, editing, sorting or removing an entry does
  ASSERT_EQ(shownBoxes.size(), 1u);
  EXPECT_EQ(shownBoxes[0].text.rfind(
                L"There was an error saving the address book: \r\n\tNot every entry", 0),
            0u);
  EXPECT_EQ(shownBoxes[0].flags, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
  EXPECT_TRUE(test::ReadBytes(SettingsFile()) == book);
}

TEST_F(StartupTest, BookThatCouldNotBeReadIsNeverSavedOver) {
  const std::string book =
      "[Settings]\r\nLast Selected=pc1\r\n[Addresses]\r\nTotal=1\r\n"
      "Address[00001]=ADDRESS=pc1|DESCRIPTION=|TYPE=0\r\n";
  WriteSettings(book);
  // Another program holds the file without sharing it while the program starts.
  HANDLE held =
      CreateFileW(SettingsFile().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Start();
  CloseHandle(held);
  EXPECT_EQ(
      window->StatusText(),
      L"Error loading address book: The settings file could not be read (another program may be "
      L"using it).");
  EXPECT_EQ(RowCount(List()), 0);
  window->Book()
      .SaveAddressBook();  // the file is readable again by now, and still must not be replaced
  ASSERT_EQ(shownBoxes.size(), 1u);
  EXPECT_EQ(shownBoxes[0].text.rfind(
                L"There was an error saving the address book: \r\n\tNot every entry", 0),
            0u);
  EXPECT_TRUE(test::ReadBytes(SettingsFile()) == book);
  Close();
  EXPECT_EQ(ReadIniValue(L"Settings", L"Last Selected", L"", SettingsFile()), L"pc1");
  EXPECT_EQ(ReadIniValue(L"Addresses", L"Address[00001]", L"", SettingsFile()),
            L"ADDRESS=pc1|DESCRIPTION=|TYPE=0");
}

TEST_F(StartupTest, TotalBelowTheEntriesHeldLoadsItsRowsAndNeverSavesTheOthersAway) {
  const std::string entries =
      "Address[00001]=ADDRESS=a|DESCRIPTION=|TYPE=0\r\nAddress[00002]=ADDRESS=b\r\n";
  struct Case {
    std::string total;
    int rows;
    std::wstring status;
  } cases[] = {
      {"Total=-3\r\n", 0, L"\"Total\" is \"-3\", but the file also holds \"Address[00001]\"."},
      {"Total=abc\r\n", 0, L"\"Total\" is \"abc\", but the file also holds \"Address[00001]\"."},
      {"Total=0\r\n", 0, L"\"Total\" is \"0\", but the file also holds \"Address[00001]\"."},
      {"Total=0.4\r\n", 0, L"\"Total\" is \"0.4\", but the file also holds \"Address[00001]\"."},
      {"", 0, L"\"Total\" is missing, but the file also holds \"Address[00001]\"."},
      {"Total=1\r\n", 1, L"\"Total\" is \"1\", but the file also holds \"Address[00002]\"."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.total);
    const std::string book = "[Settings]\r\nLast Selected=a\r\n[Addresses]\r\n" + c.total + entries;
    WriteSettings(book);
    Start();
    EXPECT_EQ(RowCount(List()), c.rows);
    EXPECT_EQ(window->StatusText(), L"Error loading address book: " + c.status);
    shownBoxes.clear();
    window->Book().SaveAddressBook();  // as adding, editing, sorting or removing an entry does
    ASSERT_EQ(shownBoxes.size(), 1u);
    EXPECT_EQ(shownBoxes[0].text.rfind(
                  L"There was an error saving the address book: \r\n\tNot every entry", 0),
              0u);
    Close();
    EXPECT_TRUE(test::ReadBytes(SettingsFile()) == book)
        << "nor does shutdown store the view state";
  }
  WriteSettings("[Addresses]\r\nTotal=abc\r\n");
  Start();
  EXPECT_EQ(window->StatusText(), L"Begin by adding an entry to your address book..");
}

TEST_F(StartupTest, MessageEditorCountsCharacters) {
  Start();
  HWND message = window->Control(kIdTxtMsg);
  SendMessageW(message, WM_CHAR, L'h', 1);  // the first key replaces the selected help text
  EXPECT_EQ(WindowText(message), L"h");
  EXPECT_EQ(window->StatusText(), L"Your current message contains 1 characters..");
  SendMessageW(message, EM_SETSEL, 0, -1);
  SendMessageW(message, EM_REPLACESEL, TRUE,
               reinterpret_cast<LPARAM>(std::wstring(12345, L'x').c_str()));
  EXPECT_EQ(window->StatusText(), L"Your current message contains 12,345 characters..");
  SendMessageW(message, EM_SETSEL, 0, -1);
  SendMessageW(message, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"a\r\nb"));
  EXPECT_EQ(window->StatusText(), L"Your current message contains 4 characters..");
}

}  // namespace
}  // namespace parvox
