// Who this program speaks for: the logged-on user and this computer's NetBIOS name, as the
// mailslot's From, signed messages and receipts give them.
#pragma once

#include <string>

namespace parvox {

// The logged-on user's name.
std::wstring GetCurrentUserName();
// This computer's NetBIOS name, as receipts and signed messages give it.
std::wstring GetThisComputerName();

}  // namespace parvox
