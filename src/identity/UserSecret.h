// Secrets kept for this Windows user alone: protected with DPAPI, so that another account, or a
// copy of the profile on another computer, cannot read them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace parvox {

// Empty when DPAPI fails.
std::string ProtectForThisUser(std::string_view secret, const wchar_t* description);
std::string UnprotectForThisUser(std::string_view blob);

// A protected value of HKEY_CURRENT_USER\Software\Parvox: none when it is missing or cannot be
// unprotected. Storing an empty secret removes the value.
std::optional<std::string> ReadUserSecret(const wchar_t* valueName);
bool StoreUserSecret(const wchar_t* valueName, std::string_view secret);

}  // namespace parvox
