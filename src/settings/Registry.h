// The one registry value the program keeps: its entry under the current user's Run key.
#pragma once

#include <windows.h>

#include <string>

namespace parvox {

inline constexpr wchar_t kRunKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Opens or creates `subKey` under `root` and stores `value` as REG_SZ.
void SetRegistryString(HKEY root, const std::wstring& subKey, const std::wstring& valueName,
                       const std::wstring& value);
// Stores the executable path in double quotes, so that a path with blanks cannot make
// Windows start a different program at logon.
void SetRunValue(const std::wstring& valueName, const std::wstring& executablePath);
void RemoveRunValue(const std::wstring& valueName);

}  // namespace parvox
