// Repeats within the window are recognised by a key per message.
#include "receiving/DuplicateFilter.h"

#include <string_view>

namespace parvox {
namespace {

constexpr std::uint64_t kFnvOffset = 14695981039346656037ull;
constexpr std::uint64_t kFnvPrime = 1099511628211ull;

void Mix(std::uint64_t& hash, std::wstring_view text) {
  for (wchar_t c : text) {
    auto unit = static_cast<std::uint32_t>(c);
    for (int shift = 0; shift < 32; shift += 8) {
      hash ^= (unit >> shift) & 0xFF;
      hash *= kFnvPrime;
    }
  }
  // A separator that no character produces, so "ab"+"c" and "a"+"bc" differ.
  for (int i = 0; i < 4; ++i) {
    hash ^= 0xFF;
    hash *= kFnvPrime;
  }
}

}  // namespace

std::uint64_t ContentKey(const IncomingMessage& message) {
  std::uint64_t hash = kFnvOffset;
  Mix(hash, message.from);
  Mix(hash, message.to);
  Mix(hash, message.text);
  return hash;
}

DuplicateFilter::DuplicateFilter(std::uint64_t windowMs, std::size_t capacity)
    : windowMs_(windowMs), capacity_(capacity == 0 ? 1 : capacity) {}

void DuplicateFilter::Forget(std::uint64_t nowMs) {
  while (!order_.empty() &&
         (nowMs - order_.front().atMs >= windowMs_ || order_.size() > capacity_)) {
    auto found = lastSeen_.find(order_.front().key);
    // The key may have been let through again since: only its latest sighting counts.
    if (found != lastSeen_.end() && found->second == order_.front().atMs) lastSeen_.erase(found);
    order_.pop_front();
  }
}

bool DuplicateFilter::IsRepeat(const IncomingMessage& message, std::uint64_t nowMs) {
  Forget(nowMs);
  // The content finds the copy that came by the mailslot, which carries no id; the id finds the
  // copy sent to another of this computer's names.
  // The id's key holds From and Text too: a stranger who sends an id first cannot make the real
  // message with that id pass for a repeat.
  std::uint64_t idKey = kFnvOffset ^ message.messageId.value_or(0);
  idKey *= kFnvPrime;
  Mix(idKey, message.from);
  Mix(idKey, message.text);
  std::uint64_t plainKeys[2] = {ContentKey(message), idKey};
  size_t count = message.messageId ? 2 : 1;
  // A signed copy is a repeat only of a copy signed with the same key: neither an unsigned copy
  // nor one signed by a neighbour can hide it. It still hides the unsigned copies after it.
  std::uint64_t keyedKeys[2] = {plainKeys[0], plainKeys[1]};
  bool isSigned = !message.signingKey.empty();
  if (isSigned) {
    for (std::uint64_t& key : keyedKeys) {
      key ^= kFnvPrime;
      for (char c : message.signingKey) {
        key ^= static_cast<unsigned char>(c);
        key *= kFnvPrime;
      }
    }
  }
  bool repeat = false;
  for (size_t i = 0; i < count; ++i) {
    auto found = lastSeen_.find(keyedKeys[i]);
    repeat = repeat || (found != lastSeen_.end() && nowMs - found->second < windowMs_);
  }
  if (repeat) return true;
  auto remember = [&](std::uint64_t key) {
    lastSeen_[key] = nowMs;
    order_.push_back({key, nowMs});
  };
  for (size_t i = 0; i < count; ++i) {
    remember(keyedKeys[i]);
    if (isSigned) remember(plainKeys[i]);
  }
  if (const auto& classic = message.classicSpelling) {
    remember(ContentKey({classic->from, classic->to, classic->text}));
  }
  if (order_.size() > capacity_) Forget(nowMs);
  return false;
}

}  // namespace parvox
