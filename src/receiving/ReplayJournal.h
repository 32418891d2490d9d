// The replay memory of this Windows user's receiver, kept in a file of their own profile so that
// a message taken before a restart is still a repeat after it, for as long as it may live.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "components/UniqueHandle.h"
#include "receiving/ReplayMemory.h"

namespace parvox {

class ReplayJournal {
 public:
  // Enough for the shared budget's pace over the longest lifetime of a message that is
  // remembered (signed messages are kept for their 10 minutes or their expiry).
  static constexpr size_t kCapacity = 65536;

  // Reads the file (%LOCALAPPDATA%\Parvox\Messages Taken.dat unless `path` names another) and
  // writes it anew without what has passed. Without a file it remembers for this run only.
  explicit ReplayJournal(std::wstring path = DefaultPath());
  static std::wstring DefaultPath();

  // True the first time the message `id` signed with `publicKey` is seen; it is then kept
  // until `until` (seconds since 1970), on disk too.
  bool Remember(uint64_t id, std::string_view publicKey, uint64_t until, uint64_t now);

 private:
  void Compact();

  std::wstring path_;
  ReplayMemory memory_{kCapacity};
  FileHandle file_{nullptr};  // open for appending
  size_t appended_ = 0;    // records written since the file was last written anew
};

}  // namespace parvox
