// The settings engine's file interface on POSIX calls, for the native tests.
#pragma once

#include "settings/IniStore.h"

namespace parvox::test {

class PosixFiles : public SettingsFileSystem {
 public:
  FileStamp Stamp(const std::wstring& path) override;
  bool ReadAll(const std::wstring& path, std::string& bytes) override;
  bool ReplaceAtomically(const std::wstring& path, std::string_view bytes,
                         FileStamp& written) override;
};

std::string Narrow(const std::wstring& path);

}  // namespace parvox::test
