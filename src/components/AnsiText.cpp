// ANSI code page conversions through the platform's tables.
#include "components/AnsiText.h"

#include <windows.h>

#include <array>

namespace parvox {
namespace {

// The conversion functions take int lengths; longer texts are converted in pieces.
constexpr size_t kChunk = 1 << 24;

// A character the code page lacks becomes "?", never a look-alike: a full-width "｜" or "＂"
// would otherwise turn into a real record delimiter or quote in the file, datagram or command.
// UTF-8 has no look-alikes (every character has its own bytes), and Windows refuses the flag
// there, as it refuses a used-default-char pointer.
DWORD ToAnsiFlags(unsigned codePage) { return codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS; }

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

size_t Utf8SequenceLength(char lead) {
  auto byte = static_cast<unsigned char>(lead);
  return byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
}

// The longest start of `piece` that ends between two characters of `codePage`.
size_t WholeCharacters(std::string_view piece, unsigned codePage) {
  CPINFO info{};
  if (!GetCPInfo(codePage, &info) || info.MaxCharSize == 1) return piece.size();
  size_t end = piece.size();
  if (codePage == CP_UTF8) {
    size_t lead = end;
    while (lead > 0 && end - lead < 4) {
      if (!IsUtf8Continuation(piece[--lead])) break;
    }
    if (IsUtf8Continuation(piece[lead]) || lead + Utf8SequenceLength(piece[lead]) <= end)
      return end;
    return lead > 0 ? lead : end;
  }
  // A trail byte may have a lead byte's value, so only a walk from a known character start
  // tells which bytes lead.
  std::array<bool, 256> leads{};
  for (size_t i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
    for (unsigned b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b) leads[b] = true;
  }
  size_t at = 0;
  while (at < end) {
    size_t step = leads[static_cast<unsigned char>(piece[at])] ? 2 : 1;
    if (at + step > end) break;
    at += step;
  }
  return at > 0 ? at : end;
}

}  // namespace

unsigned AnsiCodePage() { return GetACP(); }

bool ToAnsi(std::wstring_view text, std::string& out, unsigned codePage) {
  out.clear();
  for (size_t start = 0; start < text.size();) {
    std::wstring_view piece = text.substr(start, kChunk);
    // Keep a surrogate pair together across a piece boundary.
    if (start + piece.size() < text.size() && piece.back() >= 0xD800 && piece.back() <= 0xDBFF) {
      piece.remove_suffix(1);
    }
    int length = static_cast<int>(piece.size());
    DWORD flags = ToAnsiFlags(codePage);
    int needed =
        WideCharToMultiByte(codePage, flags, piece.data(), length, nullptr, 0, nullptr, nullptr);
    size_t at = out.size();
    if (needed > 0) out.resize(at + static_cast<size_t>(needed));
    if (needed <= 0 || WideCharToMultiByte(codePage, flags, piece.data(), length, out.data() + at,
                                           needed, nullptr, nullptr) != needed) {
      out.clear();
      return false;
    }
    start += piece.size();
  }
  return true;
}

bool FromAnsi(std::string_view bytes, std::wstring& out, unsigned codePage) {
  out.clear();
  for (size_t start = 0; start < bytes.size();) {
    std::string_view piece = bytes.substr(start, kChunk);
    // Keep a multi-byte character together across a piece boundary.
    if (start + piece.size() < bytes.size())
      piece = piece.substr(0, WholeCharacters(piece, codePage));
    int length = static_cast<int>(piece.size());
    int needed = MultiByteToWideChar(codePage, 0, piece.data(), length, nullptr, 0);
    size_t at = out.size();
    if (needed > 0) out.resize(at + static_cast<size_t>(needed));
    if (needed <= 0 ||
        MultiByteToWideChar(codePage, 0, piece.data(), length, out.data() + at, needed) != needed) {
      out.clear();
      return false;
    }
    start += piece.size();
  }
  return true;
}

namespace {

std::string ToBytesOrAscii(std::wstring_view text, unsigned codePage) {
  std::string bytes;
  if (ToAnsi(text, bytes, codePage)) return bytes;
  for (wchar_t c : text) bytes.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return bytes;
}

std::wstring FromBytesOrAscii(std::string_view bytes, unsigned codePage) {
  std::wstring text;
  if (FromAnsi(bytes, text, codePage)) return text;
  for (char c : bytes) text.push_back(static_cast<unsigned char>(c) < 0x80 ? c : L'?');
  return text;
}

}  // namespace

std::string ToAnsi(std::wstring_view text) { return ToBytesOrAscii(text, AnsiCodePage()); }
std::wstring FromAnsi(std::string_view bytes) { return FromBytesOrAscii(bytes, AnsiCodePage()); }
std::string ToUtf8(std::wstring_view text) { return ToBytesOrAscii(text, CP_UTF8); }
std::wstring FromUtf8(std::string_view bytes) { return FromBytesOrAscii(bytes, CP_UTF8); }

}  // namespace parvox
