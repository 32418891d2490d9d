// Backup and Restore of the settings file to and from a folder the user picks.
#pragma once

namespace parvox {

class AddressBookHost;

void BackupCommand(AddressBookHost& host);
void RestoreCommand(AddressBookHost& host);

}  // namespace parvox
