// The repeat memory for signed messages, bounded and ordered by when each may be forgotten.
#include "receiving/ReplayMemory.h"

namespace parvox {
namespace {

void AppendNumber(std::string& bytes, uint64_t value) {
  for (int shift = 56; shift >= 0; shift -= 8) bytes.push_back(static_cast<char>(value >> shift));
}

uint64_t ReadNumber(std::string_view bytes) {
  uint64_t value = 0;
  for (size_t i = 0; i < 8; ++i) value = value << 8 | static_cast<uint8_t>(bytes[i]);
  return value;
}

}  // namespace

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
  AppendNumber(bytes, id);
  AppendNumber(bytes, keyHash);
  AppendNumber(bytes, until);
  return bytes;
}

void ReplayMemory::Load(std::string_view bytes, uint64_t now) {
  for (; bytes.size() >= kRecordBytes; bytes.remove_prefix(kRecordBytes)) {
    Remember(ReadNumber(bytes), ReadNumber(bytes.substr(8)), ReadNumber(bytes.substr(16)), now);
  }
}

std::string ReplayMemory::Records() const {
  std::string bytes;
  bytes.reserve(byExpiry_.size() * kRecordBytes);
  for (const Expiry& e : byExpiry_) bytes += Record(e.id, e.keyHash, e.until);
  return bytes;
}

}  // namespace parvox
