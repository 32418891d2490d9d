// The repeat memory for signed messages, bounded and ordered by when each may be forgotten.
#include "receiving/ReplayMemory.h"

#include "components/BigEndian.h"

namespace parvox {

bool ReplayMemory::Remember(uint64_t id, uint64_t keyHash, uint64_t until, uint64_t now) {
  Forget(now);
  if (capacity_ == 0) return true;
  auto [entry, inserted] = byMessage_.try_emplace(Message{id, keyHash}, until);
  if (!inserted) {
    if (until > entry->second) {
      byExpiry_.erase({entry->second, id, keyHash});
      entry->second = until;
      byExpiry_.insert({until, id, keyHash});
    }
    return false;
  }
  byExpiry_.insert({until, id, keyHash});
  if (byMessage_.size() > capacity_) {
    const Expiry& soonest = *byExpiry_.begin();
    byMessage_.erase(Message{soonest.id, soonest.keyHash});
    byExpiry_.erase(byExpiry_.begin());
  }
  return true;
}

void ReplayMemory::Forget(uint64_t now) {
  while (!byExpiry_.empty() && byExpiry_.begin()->until < now) {
    byMessage_.erase(Message{byExpiry_.begin()->id, byExpiry_.begin()->keyHash});
    byExpiry_.erase(byExpiry_.begin());
  }
}

std::string ReplayMemory::Record(uint64_t id, uint64_t keyHash, uint64_t until) {
  std::string bytes;
  AppendBigEndian<uint64_t>(bytes, id);
  AppendBigEndian<uint64_t>(bytes, keyHash);
  AppendBigEndian<uint64_t>(bytes, until);
  return bytes;
}

void ReplayMemory::Load(std::string_view bytes, uint64_t now) {
  for (; bytes.size() >= kRecordBytes; bytes.remove_prefix(kRecordBytes)) {
    Remember(ReadBigEndian<uint64_t>(bytes), ReadBigEndian<uint64_t>(bytes.substr(8)), ReadBigEndian<uint64_t>(bytes.substr(16)), now);
  }
}

std::string ReplayMemory::Records() const {
  std::string bytes;
  bytes.reserve(byExpiry_.size() * kRecordBytes);
  for (const Expiry& e : byExpiry_) bytes += Record(e.id, e.keyHash, e.until);
  return bytes;
}

}  // namespace parvox
