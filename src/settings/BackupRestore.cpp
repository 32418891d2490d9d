// Both copies go through a temporary file and one atomic rename, so a failure half-way leaves
// the target as it was.
#include "settings/BackupRestore.h"

#include <windows.h>

#include "components/MessageBoxSeam.h"
#include "components/Version.h"
#include "settings/AppState.h"
#include "settings/FileUtilities.h"
#include "settings/FolderBrowser.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsHost.h"

namespace parvox {
namespace {

constexpr wchar_t kBackupName[] = L"Address Book.ini";

// What a restore would change in whom Parvox trusts, as a sentence for its question; empty when
// nothing: a backup from elsewhere must not change it unseen.
std::wstring TrustChanges(const std::wstring& backup) {
  const IniDocument& restored = ReadIniDocument(backup);
  const IniDocument& current = ReadIniDocument(App().settingsFilePath);
  bool keys = restored.ReadSection(kKnownSendersSection) !=
              current.ReadSection(kKnownSendersSection);
  const wchar_t* networks = Setting(SettingId::kTrustedNetworks).name;
  std::wstring restoredNetworks, currentNetworks;
  restored.Find(kSettingsSection, networks, restoredNetworks);
  current.Find(kSettingsSection, networks, currentNetworks);
  bool trusted = restoredNetworks != currentNetworks;
  if (!keys && !trusted) return std::wstring();
  return std::wstring(L"\r\n\r\nIt also changes whom Parvox trusts: ") +
         (keys ? L"the keys given in [Known Senders]" : L"") + (keys && trusted ? L" and " : L"") +
         (trusted ? L"the Trusted Networks" : L"") + L".";
}

}  // namespace

void BackupCommand(SettingsHost& host) {
  std::wstring folder = BrowseForFolder(
      host.Owner(), L"", L"Select the directory you would like to back-up your settings to.");
  if (folder.empty()) return;
  if (!IsDirectoryWritable(folder)) {
    host.SetStatusText(L"Error saving the settings file. Aborted.");
    ShowMessageBox(host.Owner(), L"The selected directory or drive is not writable.",
                   L"Could not backup settings file!", MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  std::wstring error;
  if (!CopyFileAtomically(App().settingsFilePath, AddTrailingBackslash(folder) + kBackupName,
                          error)) {
    host.SetStatusText(L"Critical error while saving the settings file.");
    ShowMessageBox(host.Owner(), L"Error during the backup process: \r\n\t" + error, AppTitle(),
                   MB_OK | MB_ICONSTOP);
    return;
  }
  host.SetStatusText(L"The settings file has been backed up successfully.");
}

void RestoreCommand(SettingsHost& host) {
  std::wstring folder = BrowseForFolder(
      host.Owner(), L"", L"Select the directory you would like to restore your settings from.");
  if (folder.empty()) return;
  std::wstring backup = AddTrailingBackslash(folder) + kBackupName;
  if (!FileExists(backup)) {
    host.SetStatusText(L"Error reading the settings file. Aborted.");
    ShowMessageBox(host.Owner(),
                   L"The selected directory does not contain an Address Book.ini file.",
                   L"Could not restore settings file!", MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (ShowMessageBox(host.Owner(),
                     L"Are you sure you want to restore this settings file? Your\r\n"
                     L"current settings and address book entries will\r\n"
                     L"be overwritten." +
                         TrustChanges(backup),
                     L"Restore Settings", MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return;
  }
  std::wstring error;
  if (!CopyFileAtomically(backup, App().settingsFilePath, error)) {
    host.SetStatusText(L"Critical error while restoring the settings file.");
    ShowMessageBox(host.Owner(), L"Error during the restoration process: \r\n\t" + error,
                   AppTitle(), MB_OK | MB_ICONSTOP);
    return;
  }
  // A restored file that does not load keeps the load's own error text in the status line.
  if (host.ReloadAfterRestore())
    host.SetStatusText(L"The settings file has been restored successfully.");
}

}  // namespace parvox
