// Backup and Restore of the settings file to and from a folder the user picks.
#pragma once

namespace parvox {

class wMain;

void BackupCommand(wMain& main);
void RestoreCommand(wMain& main);

}  // namespace parvox
