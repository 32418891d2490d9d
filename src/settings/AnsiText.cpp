// ANSI code page conversions through the platform's tables.
#include "settings/AnsiText.h"

#include <windows.h>

namespace parvox {
namespace {

// The conversion functions take int lengths; longer texts are converted in pieces.
constexpr size_t kChunk = 1 << 24;

// A character the code page lacks becomes "?", never a look-alike: a full-width "｜" or "＂"
// would otherwise turn into a real record delimiter or quote in the file, datagram or command.
constexpr DWORD kNoLookalikes = WC_NO_BEST_FIT_CHARS;

}  // namespace

std::string ToAnsi(std::wstring_view text) {
  std::string result;
  for (size_t start = 0; start < text.size(); start += kChunk) {
    std::wstring_view piece = text.substr(start, kChunk);
    // Keep a surrogate pair together across a piece boundary.
    if (piece.size() == kChunk && piece.back() >= 0xD800 && piece.back() <= 0xDBFF) {
      piece.remove_suffix(1);
      start -= 1;
    }
    int length = static_cast<int>(piece.size());
    int needed = WideCharToMultiByte(CP_ACP, kNoLookalikes, piece.data(), length, nullptr, 0,
                                     nullptr, nullptr);
    size_t at = result.size();
    result.resize(at + static_cast<size_t>(needed));
    WideCharToMultiByte(CP_ACP, kNoLookalikes, piece.data(), length, result.data() + at, needed,
                        nullptr, nullptr);
  }
  return result;
}

std::wstring FromAnsi(std::string_view bytes) {
  std::wstring result;
  for (size_t start = 0; start < bytes.size(); start += kChunk) {
    std::string_view piece = bytes.substr(start, kChunk);
    // Keep a double-byte character together across a piece boundary.
    if (piece.size() == kChunk && IsDBCSLeadByte(static_cast<BYTE>(piece.back()))) {
      piece.remove_suffix(1);
      start -= 1;
    }
    int length = static_cast<int>(piece.size());
    int needed = MultiByteToWideChar(CP_ACP, 0, piece.data(), length, nullptr, 0);
    size_t at = result.size();
    result.resize(at + static_cast<size_t>(needed));
    MultiByteToWideChar(CP_ACP, 0, piece.data(), length, result.data() + at, needed);
  }
  return result;
}

}  // namespace parvox
