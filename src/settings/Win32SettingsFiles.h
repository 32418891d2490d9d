// The settings engine's file operations on the Win32 file API.
#pragma once

#include "settings/IniStore.h"

namespace parvox {

class Win32SettingsFiles : public SettingsFileSystem {
 public:
  FileStamp Stamp(const std::wstring& path) override;
  bool ReadAll(const std::wstring& path, std::string& bytes) override;
  bool ReplaceAtomically(const std::wstring& path, std::string_view bytes) override;
};

class Win32AnsiCodec : public AnsiCodec {
 public:
  std::wstring Decode(std::string_view bytes) const override;
  std::string Encode(std::wstring_view text) const override;
};

}  // namespace parvox
