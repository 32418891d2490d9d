// The files Parvox keeps for this Windows user alone, in their local application data.
#pragma once

#include <string>

namespace parvox {

// %LOCALAPPDATA%\Parvox\`name`, the folder made when missing; empty where the profile has none.
std::wstring UserDataFile(const std::wstring& name);

}  // namespace parvox
