// The settings dialog and the backup and restore commands, on the real windows, registry and
// files; the folder browser is answered by the test.
#include <gtest/gtest.h>
#include <windows.h>

#include "addressbook/AddressBookStore.h"
#include "addressbook/AddressList.h"
#include "components/MessageBoxSeam.h"
#include "identity/UserKeyStore.h"
#include "settings/AppState.h"
#include "settings/FileUtilities.h"
#include "settings/FolderBrowser.h"
#include "settings/Registry.h"
#include "settings/SettingsDialog.h"
#include "settings/SettingsFile.h"
#include "support/MainWindowFixture.h"

namespace parvox {
namespace {

using test::ClickItem;
using SettingsDialogTest = test::MainWindowTest;

constexpr wchar_t kSettingsClass[] = L"ParvoxSettings";

bool RunValue(std::wstring& data) {
  wchar_t buffer[1024];
  DWORD size = sizeof buffer;
  if (RegGetValueW(HKEY_CURRENT_USER, kRunKeyPath, L"Parvox", RRF_RT_REG_SZ, nullptr, buffer,
                   &size) != ERROR_SUCCESS) {
    return false;
  }
  data = buffer;
  return true;
}

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

TEST_F(SettingsDialogTest, SaveWritesAllFiveAndAppliesAtOnce) {
  WriteSettings("[Settings]\r\nEscape Minimises=0\r\n");
  Start();
  SetRunValue(L"Parvox", L"C:\\old.exe");
  WithDialog(
      kSettingsClass, [&] { Command(kMSettings); },
      [&](HWND dialog) {
        EXPECT_EQ(WindowText(dialog), L"Settings");
        for (int box : {SettingsDialog::kChkStartWithWindows, SettingsDialog::kChkStartMinimised,
                        SettingsDialog::kChkEscapeMinimises, SettingsDialog::kChkInternalSend}) {
          EXPECT_FALSE(Checked(dialog, box)) << box;
        }
        EXPECT_TRUE(Checked(dialog, SettingsDialog::kChkReceiveMessages))
            << "receiving is on at first";
        ClickItem(dialog, SettingsDialog::kChkInternalSend);
        ClickItem(dialog, SettingsDialog::kChkReceiveMessages);
        ClickItem(dialog, SettingsDialog::kCmdSave);
      });
  EXPECT_TRUE(App().internalSend) << "the very next send uses the built-in path";
  EXPECT_FALSE(window->Receiving()) << "the slot is let go at once";
  EXPECT_EQ(ReadIniValue(L"Settings", L"Receive Messages", L"", SettingsFile()), L"0");
  EXPECT_EQ(ReadIniValue(L"Settings", L"Start With Windows", L"", SettingsFile()), L"0");
  EXPECT_EQ(ReadIniValue(L"Settings", L"Start Minimised", L"", SettingsFile()), L"0");
  EXPECT_EQ(ReadIniValue(L"Settings", L"Escape Minimises", L"", SettingsFile()), L"0");
  EXPECT_EQ(ReadIniValue(L"Settings", L"Internal Send", L"", SettingsFile()), L"1");
  std::wstring data;
  EXPECT_FALSE(RunValue(data)) << "a clear Start with Windows removes the Run value";
}

TEST_F(SettingsDialogTest, StartWithWindowsStoresTheQuotedPath) {
  Start();
  WithDialog(
      kSettingsClass, [&] { Command(kMSettings); },
      [&](HWND dialog) {
        EXPECT_TRUE(Checked(dialog, SettingsDialog::kChkEscapeMinimises));
        ClickItem(dialog, SettingsDialog::kChkStartWithWindows);
        ClickItem(dialog, SettingsDialog::kCmdSave);
      });
  std::wstring data;
  ASSERT_TRUE(RunValue(data));
  EXPECT_EQ(data, L"\"" + folder.File(L"parvox.exe") + L"\"");
  EXPECT_TRUE(App().startWithWindows);
  RemoveRunValue(L"Parvox");
}

TEST_F(SettingsDialogTest, CancelAndCloseWriteNothing) {
  Start();
  SetRunValue(L"Parvox", L"C:\\old.exe");  // "Start with Windows" is clear in the dialog
  for (bool byTitleBar : {false, true}) {
    WithDialog(
        kSettingsClass, [&] { Command(kMSettings); },
        [&](HWND dialog) {
          wchar_t shown[128] = L"";
          GetDlgItemTextW(dialog, SettingsDialog::kLabFingerprint, shown, 128);
          EXPECT_EQ(shown, L"Your key's fingerprint:\r\n" + UserKeyFingerprint());
          ClickItem(dialog, SettingsDialog::kChkInternalSend);
          ClickItem(dialog, SettingsDialog::kChkStartMinimised);
          if (byTitleBar) {
            SendMessageW(dialog, WM_CLOSE, 0, 0);
          } else {
            ClickItem(dialog, SettingsDialog::kCmdCancel);
          }
        });
  }
  EXPECT_FALSE(App().internalSend);
  EXPECT_FALSE(App().startMinimised);
  EXPECT_FALSE(test::FileExists(SettingsFile()));
  std::wstring data;
  EXPECT_TRUE(RunValue(data) && data == L"\"C:\\old.exe\"") << "the Run value stays as it was";
  RemoveRunValue(L"Parvox");
}

TEST_F(SettingsDialogTest, SettingsThatCouldNotBeReadAreNeverSavedOver) {
  const std::string stored = "[Settings]\r\nStart With Windows=1\r\nInternal Send=1\r\n";
  WriteSettings(stored);
  SetRunValue(L"Parvox", L"C:\\mine.exe");
  // Another program holds the file without sharing it while the program starts.
  HANDLE held =
      CreateFileW(SettingsFile().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Start();
  CloseHandle(held);
  WithDialog(
      kSettingsClass, [&] { Command(kMSettings); },
      [&](HWND dialog) {
        ClickItem(dialog, SettingsDialog::kChkEscapeMinimises);
        ClickItem(dialog, SettingsDialog::kCmdSave);  // the file is readable again by now
        ASSERT_EQ(shownBoxes.size(), 1u);
        EXPECT_EQ(shownBoxes[0].text.rfind(
                      L"There was an error saving the settings: \r\n\tThe settings file "
                      L"could not be read",
                      0),
                  0u);
        EXPECT_EQ(shownBoxes[0].flags, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
        ClickItem(dialog, SettingsDialog::kCmdCancel);
      });
  EXPECT_TRUE(App().escapeMinimises);
  EXPECT_TRUE(test::ReadBytes(SettingsFile()) == stored);
  std::wstring data;
  EXPECT_TRUE(RunValue(data) && data == L"\"C:\\mine.exe\"");
  RemoveRunValue(L"Parvox");
}

// The folder the test "picks" in the shell's folder browser; empty means Cancel.
std::wstring pickedFolder;
std::wstring browserTitle;
std::wstring PickFolder(HWND, const std::wstring&, const std::wstring& title) {
  browserTitle = title;
  return pickedFolder;
}

class BackupRestoreTest : public test::MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    SetFolderBrowserHandler(PickFolder);
    pickedFolder.clear();
  }
  void TearDown() override {
    SetFolderBrowserHandler(nullptr);
    MainWindowTest::TearDown();
  }
  test::TempFolder chosen;
};

const char kBook[] =
    "[Settings]\r\nInternal "
    "Send=0\r\n[Addresses]\r\nTotal=1\r\nAddress[00001]=ADDRESS=pc1|DESCRIPTION=x|TYPE=0\r\n";

TEST_F(BackupRestoreTest, CancelledBrowserChangesNothing) {
  WriteSettings(kBook);
  Start();
  window->SetStatusText(L"-");
  Command(kMBackup);
  EXPECT_EQ(browserTitle, L"Select the directory you would like to back-up your settings to.");
  Command(kMRestore);
  EXPECT_EQ(browserTitle, L"Select the directory you would like to restore your settings from.");
  EXPECT_EQ(window->StatusText(), L"-");
  EXPECT_TRUE(shownBoxes.empty());
}

TEST_F(BackupRestoreTest, BackupCopiesAndKeepsTheUsersFiles) {
  WriteSettings(kBook);
  Start();
  test::WriteBytes(chosen.File(L"test.write"), "mine");
  test::WriteBytes(chosen.File(L"Address Book.ini"), "old backup");
  pickedFolder =
      chosen.Path().substr(0, chosen.Path().size() - 1);  // the browser gives no trailing backslash
  Command(kMBackup);
  EXPECT_EQ(window->StatusText(), L"The settings file has been backed up successfully.");
  EXPECT_EQ(test::ReadBytes(chosen.File(L"Address Book.ini")), kBook);
  EXPECT_EQ(test::ReadBytes(chosen.File(L"test.write")), "mine")
      << "a file of the user's own survives";
  EXPECT_EQ(test::CountFiles(chosen.Path()), 2) << "no probe or temporary file is left";
}

TEST_F(BackupRestoreTest, BackupIntoAnUnwritableFolder) {
  WriteSettings(kBook);
  Start();
  pickedFolder = L"Z:\\proc";  // nobody may create files there, not even root
  Command(kMBackup);
  EXPECT_EQ(window->StatusText(), L"Error saving the settings file. Aborted.");
  ASSERT_EQ(shownBoxes.size(), 1u);
  EXPECT_EQ(shownBoxes[0].text, L"The selected directory or drive is not writable.");
  EXPECT_EQ(shownBoxes[0].caption, L"Could not backup settings file!");
  EXPECT_EQ(shownBoxes[0].flags, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
}

TEST_F(BackupRestoreTest, BackupBeforeAnySettingsFileIsACriticalError) {
  Start();
  pickedFolder = chosen.Path();
  Command(kMBackup);
  EXPECT_EQ(window->StatusText(), L"Critical error while saving the settings file.");
  ASSERT_EQ(shownBoxes.size(), 1u);
  EXPECT_EQ(shownBoxes[0].text.rfind(L"Error during the backup process: \r\n\t", 0), 0u);
  EXPECT_GT(shownBoxes[0].text.size(),
            std::wstring(L"Error during the backup process: \r\n\t").size());
  EXPECT_EQ(shownBoxes[0].flags, static_cast<UINT>(MB_OK | MB_ICONSTOP));
  EXPECT_EQ(test::CountFiles(chosen.Path()), 0);
}

TEST_F(BackupRestoreTest, RestoreFromAFolderWithoutABackup) {
  WriteSettings(kBook);
  Start();
  pickedFolder = chosen.Path();
  Command(kMRestore);
  EXPECT_EQ(window->StatusText(), L"Error reading the settings file. Aborted.");
  ASSERT_EQ(shownBoxes.size(), 1u);
  EXPECT_EQ(shownBoxes[0].text,
            L"The selected directory does not contain an Address Book.ini file.");
  EXPECT_EQ(shownBoxes[0].caption, L"Could not restore settings file!");
}

TEST_F(BackupRestoreTest, RestoreAnsweredNoThenYes) {
  WriteSettings(kBook);
  Start();
  const std::string backup =
      "[Settings]\r\nInternal Send=1\r\nTrusted Networks=10.1.0.0/16\r\n[Addresses]\r\nTotal=2\r\n"
      "Address[00001]=ADDRESS=b1|DESCRIPTION=|TYPE=0\r\n"
      "Address[00002]=ADDRESS=b2|DESCRIPTION=|TYPE=1\r\n";
  test::WriteBytes(chosen.File(L"Address Book.ini"), backup);
  pickedFolder = chosen.Path();
  window->SetStatusText(L"-");
  answer = IDNO;
  Command(kMRestore);
  ASSERT_EQ(shownBoxes.size(), 1u);
  EXPECT_EQ(shownBoxes[0].caption, L"Restore Settings");
  EXPECT_EQ(shownBoxes[0].text,
            L"Are you sure you want to restore this settings file? Your\r\ncurrent settings and "
            L"address book "
            L"entries will\r\nbe overwritten.\r\n\r\nIt also changes whom Parvox trusts: the "
            L"Trusted Networks.");
  EXPECT_EQ(test::ReadBytes(SettingsFile()), kBook);
  EXPECT_EQ(window->StatusText(), L"-");

  answer = IDYES;
  Command(kMRestore);
  EXPECT_EQ(test::ReadBytes(SettingsFile()), backup);
  ASSERT_EQ(RowCount(List()), 2);
  EXPECT_EQ(RowText(List(), 1), L"b2");
  EXPECT_EQ(window->StatusText(), L"The settings file has been restored successfully.");
  EXPECT_FALSE(App().internalSend) << "other settings apply from the next start";
}

TEST_F(BackupRestoreTest, RestoredBookThatDoesNotLoadSaysSoUntilAGoodOneIsRestored) {
  WriteSettings(kBook);
  Start();
  pickedFolder = chosen.Path();
  answer = IDYES;
  test::WriteBytes(
      chosen.File(L"Address Book.ini"),
      "[Addresses]\r\nTotal=5000\r\nAddress[00001]=ADDRESS=b1\r\nAddress[03000]=ADDRESS=far\r\n");
  Command(kMRestore);
  EXPECT_EQ(window->StatusText().rfind(L"Error loading address book: ", 0), 0u)
      << "not reported as restored";
  shownBoxes.clear();
  window->Book().SaveAddressBook();
  ASSERT_EQ(shownBoxes.size(), 1u) << "a save would drop the entry that was not loaded";

  const std::string good =
      "[Addresses]\r\nTotal=1\r\nAddress[00001]=ADDRESS=b1|DESCRIPTION=|TYPE=0\r\n";
  test::WriteBytes(chosen.File(L"Address Book.ini"), good);
  Command(kMRestore);
  EXPECT_EQ(window->StatusText(), L"The settings file has been restored successfully.");
  shownBoxes.clear();
  window->Book().SaveAddressBook();
  EXPECT_TRUE(shownBoxes.empty());
  EXPECT_EQ(window->StatusText(), L"The address book has been updated and saved.");
}

TEST_F(BackupRestoreTest, FailedRestoreLeavesTheSettingsFileWhole) {
  WriteSettings(kBook);
  Start();
  test::WriteBytes(chosen.File(L"Address Book.ini"), "[Addresses]\r\nTotal=0\r\n");
  SetFileAttributesW(SettingsFile().c_str(), FILE_ATTRIBUTE_READONLY);
  pickedFolder = chosen.Path();
  answer = IDYES;
  Command(kMRestore);
  SetFileAttributesW(SettingsFile().c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(window->StatusText(), L"Critical error while restoring the settings file.");
  EXPECT_EQ(test::ReadBytes(SettingsFile()), kBook);
  EXPECT_EQ(RowCount(List()), 1) << "the list is not reloaded";
  EXPECT_EQ(test::CountFiles(folder.Path()), 1) << "no temporary file is left";
}

TEST(MiscFunctions, SmallFileUtilities) {
  EXPECT_EQ(MaxOf(5, 15), 15);
  EXPECT_EQ(MaxOf(-3, -3), -3);
  std::wstring root = L"C:\\", dir = L"C:\\dir";
  EXPECT_EQ(AddTrailingBackslash(root), L"C:\\");
  EXPECT_EQ(AddTrailingBackslash(dir), L"C:\\dir\\");
  EXPECT_EQ(dir, L"C:\\dir\\");

  test::TempFolder folder;
  std::wstring file = folder.File(L"fifty.bin");
  test::WriteBytes(file, std::string(50, 'x'));
  DeleteFileUnlessSmaller(file, 100);
  EXPECT_TRUE(FileExists(file));
  DeleteFileUnlessSmaller(file, 0);
  EXPECT_FALSE(FileExists(file));
  DeleteFileUnlessSmaller(file, 0);  // missing: nothing happens
  EXPECT_TRUE(FileExists(folder.Path().substr(0, folder.Path().size() - 1)));
  std::wstring writable = folder.Path().substr(0, folder.Path().size() - 1);
  EXPECT_TRUE(IsDirectoryWritable(writable));
  EXPECT_EQ(writable, folder.Path()) << "the caller's folder gains the backslash";
  std::wstring missing = folder.File(L"no such folder");
  EXPECT_FALSE(IsDirectoryWritable(missing));
  EXPECT_EQ(BoolToCheckValue(true), 1);
  EXPECT_EQ(BoolToCheckValue(false), 0);
}

}  // namespace
}  // namespace parvox
