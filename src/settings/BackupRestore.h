// Backup and Restore of the settings file to and from a folder the user picks.
#pragma once

namespace parvox {

class SettingsHost;

void BackupCommand(SettingsHost& host);
void RestoreCommand(SettingsHost& host);

}  // namespace parvox
