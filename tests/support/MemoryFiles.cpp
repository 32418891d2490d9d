// In-memory files for the settings engine's tests.
#include "support/MemoryFiles.h"

namespace parvox::test {

bool Latin1Codec::Decode(std::string_view bytes, std::wstring& text) const {
  text.clear();
  text.reserve(bytes.size());
  for (char c : bytes) text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return true;
}

bool Latin1Codec::Encode(std::wstring_view text, std::string& bytes) const {
  bytes.clear();
  if (failEncodes) return false;
  bytes.reserve(text.size());
  for (wchar_t c : text)
    bytes.push_back(static_cast<unsigned>(c) <= 0xFF ? static_cast<char>(c) : '?');
  return true;
}

FileStamp MemoryFiles::Stamp(const std::wstring& path) {
  if (failStamps) return {false, 0, 0, true};
  auto found = files_.find(path);
  if (found == files_.end()) return {};
  return {true, claimedSize != 0 ? claimedSize : found->second.bytes.size(),
          found->second.writeTime};
}

bool MemoryFiles::ReadAll(const std::wstring& path, std::string& bytes) {
  auto found = files_.find(path);
  if (failReads || found == files_.end()) return false;
  ++reads;
  bytes = found->second.bytes;
  return true;
}

bool MemoryFiles::ReplaceAtomically(const std::wstring& path, std::string_view bytes,
                                    FileStamp& written) {
  if (failWrites) return false;
  ++writes;
  files_[path] = {std::string(bytes), ++clock_};
  written = {true, bytes.size(), clock_};
  if (afterReplace) afterReplace(path);
  return true;
}

void MemoryFiles::Put(const std::wstring& path, std::string bytes) {
  files_[path] = {std::move(bytes), ++clock_};
}

}  // namespace parvox::test
