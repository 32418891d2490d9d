// Settings file access through the shared, cached INI engine.
#include "settings/SettingsFile.h"

#include "settings/IniStore.h"
#include "settings/Win32SettingsFiles.h"

namespace parvox {
namespace {

IniStore& SettingsStore() {
  static Win32SettingsFiles files;
  static Win32AnsiCodec codec;
  static IniStore store(files, codec);
  return store;
}

}  // namespace

std::wstring ReadIniValue(const std::wstring& section, const std::wstring& key,
                          const std::wstring& defaultValue, const std::wstring& file) {
  return SettingsStore().Read(file, section, key, defaultValue);
}

void WriteIniValue(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                   const std::wstring& file) {
  SettingsStore().Write(file, section, key, value);
}

const IniDocument& ReadIniDocument(const std::wstring& file) {
  return SettingsStore().Document(file);
}

bool IniFileReadable(const std::wstring& file) { return SettingsStore().Readable(file); }

bool ReplaceIniSection(const std::wstring& section, const IniDocument::KeyValues& entries,
                       const std::wstring& file, const IniDocument::OwnedKey& owned) {
  return SettingsStore().ReplaceSection(file, section, entries, owned);
}

}  // namespace parvox
