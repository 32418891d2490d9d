// Cached, atomically rewritten settings files.
#include "settings/IniStore.h"

#include <algorithm>
#include <new>

namespace parvox {
namespace {

constexpr unsigned char kUtf16Bom[] = {0xFF, 0xFE};

bool HasUtf16Bom(std::string_view bytes) {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == kUtf16Bom[0] &&
         static_cast<unsigned char>(bytes[1]) == kUtf16Bom[1];
}

}  // namespace

bool IniStore::Decode(std::string_view bytes, Encoding& encoding, std::wstring& text) const {
  if (!HasUtf16Bom(bytes)) {
    encoding = Encoding::kAnsi;
    return codec_.Decode(bytes, text);
  }
  // A UTF-16LE byte-order mark makes the file Unicode, as the profile functions treat it.
  encoding = Encoding::kUtf16;
  text.clear();
  text.reserve(bytes.size() / 2);
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    unsigned low = static_cast<unsigned char>(bytes[i]);
    unsigned high = static_cast<unsigned char>(bytes[i + 1]);
    text.push_back(static_cast<wchar_t>(low | (high << 8)));
  }
  return true;
}

bool IniStore::Encode(const std::wstring& text, Encoding encoding, std::string& bytes) const {
  if (encoding == Encoding::kAnsi) return codec_.Encode(text, bytes);
  bytes.assign(reinterpret_cast<const char*>(kUtf16Bom), 2);
  bytes.reserve(2 + text.size() * 2);
  for (wchar_t c : text) {
    unsigned unit = static_cast<unsigned>(c) & 0xFFFF;
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return true;
}

IniStore::Cached& IniStore::Load(const std::wstring& path) {
  FileStamp stamp = files_.Stamp(path);
  auto found = cache_.find(path);
  // A file that could not be read is tried again next time: the failure may have passed.
  if (found != cache_.end() && found->second.readable && found->second.stamp == stamp) {
    return found->second;
  }

  Cached fresh;
  fresh.stamp = stamp;
  if (stamp.unknown || stamp.size > kMaxSettingsFileBytes) {
    fresh.readable = false;
  } else if (stamp.exists) {
    // Memory running out while a large file is held counts as a failed read, like any other.
    try {
      std::string bytes;
      std::wstring text;
      fresh.readable = files_.ReadAll(path, bytes) && bytes.size() <= kMaxSettingsFileBytes &&
                       Decode(bytes, fresh.encoding, text);
      if (fresh.readable) fresh.document = IniDocument::Parse(text);
    } catch (const std::bad_alloc&) {
      fresh.readable = false;
      fresh.document = IniDocument();
    }
  }
  Cached& slot = cache_[path];
  slot = std::move(fresh);
  return slot;
}

std::wstring IniStore::Read(const std::wstring& path, std::wstring_view section,
                            std::wstring_view key, std::wstring_view defaultValue) {
  std::wstring value;
  if (Load(path).document.Find(section, key, value)) return value;
  return std::wstring(defaultValue);
}

template <typename Change>
bool IniStore::Modify(const std::wstring& path, Change change) {
  Cached& cached = Load(path);
  if (!cached.readable) return false;
  change(cached.document);
  std::wstring text = cached.document.Serialize();
  std::string bytes;
  FileStamp written;
  // Text the code page could not take is never written as whatever the conversion left.
  if (!Encode(text, cached.encoding, bytes) || !files_.ReplaceAtomically(path, bytes, written)) {
    cache_.erase(path);  // the change never reached the file; read it afresh next time
    return false;
  }
  // Characters the code page cannot hold were stored as substitutes: read what the file holds.
  // Plain ASCII survives every code page, so only other text needs the check.
  bool ascii = std::all_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x80; });
  if (!ascii && cached.encoding == Encoding::kAnsi) {
    Encoding encoding = cached.encoding;
    std::wstring stored;
    if (!Decode(bytes, encoding, stored)) {
      cache_.erase(path);  // read it afresh next time
      return true;
    }
    if (stored != text) cached.document = IniDocument::Parse(stored);
  }
  cached.stamp = written;
  return true;
}

bool IniStore::Write(const std::wstring& path, std::wstring_view section, std::wstring_view key,
                     std::wstring_view value) {
  return Modify(path, [&](IniDocument& document) { document.Set(section, key, value); });
}

bool IniStore::DeleteSection(const std::wstring& path, std::wstring_view section) {
  return Modify(path, [&](IniDocument& document) { document.DeleteSection(section); });
}

bool IniStore::ReplaceSection(const std::wstring& path, std::wstring_view section,
                              const IniDocument::KeyValues& entries,
                              const IniDocument::OwnedKey& owned) {
  return Modify(path,
                [&](IniDocument& document) { document.ReplaceSection(section, entries, owned); });
}

}  // namespace parvox
