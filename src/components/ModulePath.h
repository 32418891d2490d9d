// Where the running executable is.
#pragma once

#include <string>

namespace parvox {

// The full path of the running executable, however long.
std::wstring CurrentModulePath();

}  // namespace parvox
