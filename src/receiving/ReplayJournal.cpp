// The replay memory on disk: one record appended per message taken, written anew at start and
// whenever the appended records outnumber what it may hold.
#include "receiving/ReplayJournal.h"

#include "components/UserDataFolder.h"
#include "identity/MessageSigning.h"
#include "settings/Win32SettingsFiles.h"

namespace parvox {
namespace {

// A key's stable short name for the file: the first 8 bytes of its SHA-256.
uint64_t KeyHash(std::string_view publicKey) {
  std::string digest = Sha256(publicKey);
  uint64_t hash = 0;
  for (size_t i = 0; i < 8 && i < digest.size(); ++i) hash = hash << 8 | uint8_t(digest[i]);
  return hash;
}

}  // namespace

std::wstring ReplayJournal::DefaultPath() { return UserDataFile(L"Messages Taken.dat"); }

ReplayJournal::ReplayJournal(std::wstring path) : path_(std::move(path)) {
  if (path_.empty()) return;
  std::string bytes;
  if (Win32SettingsFiles().ReadAll(path_, bytes)) memory_.Load(bytes, SecondsSince1970());
  Compact();
}

bool ReplayJournal::Remember(uint64_t id, std::string_view publicKey, uint64_t until,
                             uint64_t now) {
  uint64_t keyHash = KeyHash(publicKey);
  if (!memory_.Remember(id, keyHash, until, now)) return false;
  if (file_.Valid()) {
    std::string record = ReplayMemory::Record(id, keyHash, until);
    DWORD written = 0;
    WriteFile(file_.Get(), record.data(), DWORD(record.size()), &written, nullptr);
    if (++appended_ > kCapacity) Compact();
  }
  return true;
}

void ReplayJournal::Compact() {
  file_.Reset();
  FileStamp written;
  if (!Win32SettingsFiles().ReplaceAtomically(path_, memory_.Records(), written)) return;
  appended_ = 0;
  file_ = FileHandle(CreateFileW(path_.c_str(), FILE_APPEND_DATA,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace parvox
