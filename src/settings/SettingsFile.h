// The program's only access to its settings file.
#pragma once

#include <string>

#include "settings/IniDocument.h"

namespace parvox {

// The value stored under `key`, whole, or `defaultValue` when there is none.
std::wstring ReadIniValue(const std::wstring& section, const std::wstring& key,
                          const std::wstring& defaultValue, const std::wstring& file);
// Stores the value; a file that cannot be written keeps its old contents, silently.
void WriteIniValue(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                   const std::wstring& file);

// The whole file as parsed once, for reading many keys without copying them; valid until
// the next call into this module.
const IniDocument& ReadIniDocument(const std::wstring& file);
// False when the file exists but could not be read (another program may hold it), or could not
// even be looked at: what it holds is unknown, and anything read from it came from the defaults.
bool IniFileReadable(const std::wstring& file);
// Replaces the `owned` keys of a section (every key when none is given) in one atomic rewrite;
// its other lines stay. False when the file was left as it was.
bool ReplaceIniSection(const std::wstring& section, const IniDocument::KeyValues& entries,
                       const std::wstring& file, const IniDocument::OwnedKey& owned = {});

}  // namespace parvox
