// Test doubles for the settings engine's file interface and code page: files in memory with
// counters, and Latin-1 standing in for the ANSI code page.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "settings/IniStore.h"

namespace parvox::test {

class Latin1Codec : public AnsiCodec {
 public:
  bool Decode(std::string_view bytes, std::wstring& text) const override;
  bool Encode(std::wstring_view text, std::string& bytes) const override;

  bool failEncodes = false;  // as the platform does for a code page it cannot convert to
};

class MemoryFiles : public SettingsFileSystem {
 public:
  FileStamp Stamp(const std::wstring& path) override;
  bool ReadAll(const std::wstring& path, std::string& bytes) override;
  bool ReplaceAtomically(const std::wstring& path, std::string_view bytes,
                         FileStamp& written) override;

  // Changes a file as another program would, with a new write time.
  void Put(const std::wstring& path, std::string bytes);
  bool Exists(const std::wstring& path) const { return files_.count(path) != 0; }
  const std::string& Bytes(const std::wstring& path) { return files_[path].bytes; }

  int reads = 0;
  int writes = 0;
  bool failWrites = false;
  bool failReads = false;
  bool failStamps = false;   // the platform cannot tell anything about any file
  uint64_t claimedSize = 0;  // when set, every file's stamp claims this size
  // Runs right after a replace has put its file in place, as a second writer would.
  std::function<void(const std::wstring& path)> afterReplace;

 private:
  struct File {
    std::string bytes;
    uint64_t writeTime = 0;
  };
  std::map<std::wstring, File> files_;
  uint64_t clock_ = 0;
};

}  // namespace parvox::test
