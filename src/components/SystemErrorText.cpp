// Error descriptions through FormatMessageW.
#include "components/SystemErrorText.h"

namespace parvox {

std::wstring SystemErrorText(DWORD code) {
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring description = length > 0 ? std::wstring(text, length) : std::wstring();
  LocalFree(text);
  while (!description.empty() && (description.back() == L'\n' || description.back() == L'\r'))
    description.pop_back();
  return description;
}

}  // namespace parvox
