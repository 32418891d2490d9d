// The settings engine's file operations on the Win32 file API.
#pragma once

#include <string>

#include "components/AnsiText.h"
#include "settings/IniStore.h"

namespace parvox {

// The "\\?\" form of the full path, free of MAX_PATH: a path that is just short enough to read
// must also save, although the temporary name beside it is longer.
std::wstring ExtendedLengthPath(const std::wstring& path);

class Win32SettingsFiles : public SettingsFileSystem {
 public:
  FileStamp Stamp(const std::wstring& path) override;
  bool ReadAll(const std::wstring& path, std::string& bytes) override;
  bool ReplaceAtomically(const std::wstring& path, std::string_view bytes,
                         FileStamp& written) override;
};

class Win32AnsiCodec : public AnsiCodec {
 public:
  explicit Win32AnsiCodec(unsigned codePage = AnsiCodePage());
  bool Decode(std::string_view bytes, std::wstring& text) const override;
  bool Encode(std::wstring_view text, std::string& bytes) const override;

 private:
  unsigned codePage_;
};

}  // namespace parvox
