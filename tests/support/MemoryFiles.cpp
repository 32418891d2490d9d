// In-memory files for the settings engine's tests.
#include "support/MemoryFiles.h"

namespace parvox::test {

std::wstring Latin1Codec::Decode(std::string_view bytes) const {
  std::wstring text;
  text.reserve(bytes.size());
  for (char c : bytes) text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return text;
}

std::string Latin1Codec::Encode(std::wstring_view text) const {
  std::string bytes;
  bytes.reserve(text.size());
  for (wchar_t c : text) bytes.push_back(static_cast<unsigned>(c) <= 0xFF ? static_cast<char>(c) : '?');
  return bytes;
}

FileStamp MemoryFiles::Stamp(const std::wstring& path) {
  if (failStamps) return {false, 0, 0, true};
  auto found = files_.find(path);
  if (found == files_.end()) return {};
  return {true, found->second.bytes.size(), found->second.writeTime};
}

bool MemoryFiles::ReadAll(const std::wstring& path, std::string& bytes) {
  auto found = files_.find(path);
  if (failReads || found == files_.end()) return false;
  ++reads;
  bytes = found->second.bytes;
  return true;
}

bool MemoryFiles::ReplaceAtomically(const std::wstring& path, std::string_view bytes) {
  if (failWrites) return false;
  ++writes;
  files_[path] = {std::string(bytes), ++clock_};
  return true;
}

void MemoryFiles::Put(const std::wstring& path, std::string bytes) {
  files_[path] = {std::move(bytes), ++clock_};
}

}  // namespace parvox::test
