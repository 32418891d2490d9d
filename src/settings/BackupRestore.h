// Backup and Restore of the settings file to and from a folder the user picks.
#pragma once

namespace parvox {

class MainWindow;

void BackupCommand(MainWindow& main);
void RestoreCommand(MainWindow& main);

}  // namespace parvox
