// Settings files parsed once and kept: a file is parsed again only when its size or
// last-write time changed (or it could not be read last time), and every change is written
// back with one atomic replace.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "settings/IniDocument.h"

namespace parvox {

struct FileStamp {
  bool exists = false;
  uint64_t size = 0;
  uint64_t writeTime = 0;
  // The platform could not tell, not even whether the file exists: it counts as unreadable.
  bool unknown = false;
  bool operator==(const FileStamp&) const = default;
};

// The platform's file operations the engine needs.
class SettingsFileSystem {
 public:
  virtual ~SettingsFileSystem() = default;
  virtual FileStamp Stamp(const std::wstring& path) = 0;
  // The whole file; false when it cannot be read.
  virtual bool ReadAll(const std::wstring& path, std::string& bytes) = 0;
  // Writes a temporary file beside `path`, flushes it and puts it in place of `path` in one
  // step. On failure the old file is untouched and no temporary file is left. `written` is the
  // stamp of the file written, taken before it replaced `path`: a later writer's file, put in
  // place before the caller could look, never passes for it.
  virtual bool ReplaceAtomically(const std::wstring& path, std::string_view bytes,
                                 FileStamp& written) = 0;
};

// Text in the ANSI code page, both ways; false when the platform could not convert it.
class AnsiCodec {
 public:
  virtual ~AnsiCodec() = default;
  virtual bool Decode(std::string_view bytes, std::wstring& text) const = 0;
  virtual bool Encode(std::wstring_view text, std::string& bytes) const = 0;
};

// A settings file is a few kilobytes; one beyond this counts as unreadable rather than being
// loaded into memory whole.
inline constexpr uint64_t kMaxSettingsFileBytes = uint64_t{256} << 20;

class IniStore {
 public:
  IniStore(SettingsFileSystem& files, const AnsiCodec& codec) : files_(files), codec_(codec) {}

  std::wstring Read(const std::wstring& path, std::wstring_view section, std::wstring_view key,
                    std::wstring_view defaultValue);
  // The file as parsed (empty when missing or unreadable); valid until the next call.
  const IniDocument& Document(const std::wstring& path) { return Load(path).document; }
  // False when the file exists but could not be read (or is too large to hold), or could not
  // even be looked at.
  bool Readable(const std::wstring& path) { return Load(path).readable; }

  // Each returns false when the file was left as it was.
  bool Write(const std::wstring& path, std::wstring_view section, std::wstring_view key,
             std::wstring_view value);
  bool DeleteSection(const std::wstring& path, std::wstring_view section);
  bool ReplaceSection(const std::wstring& path, std::wstring_view section,
                      const IniDocument::KeyValues& entries,
                      const IniDocument::OwnedKey& owned = {});

 private:
  enum class Encoding { kAnsi, kUtf16 };
  struct Cached {
    FileStamp stamp;
    bool readable = true;  // false: the file could not be read or looked at, so never rewrite it
    Encoding encoding = Encoding::kAnsi;
    IniDocument document;
  };

  Cached& Load(const std::wstring& path);
  template <typename Change>
  bool Modify(const std::wstring& path, Change change);
  bool Decode(std::string_view bytes, Encoding& encoding, std::wstring& text) const;
  bool Encode(const std::wstring& text, Encoding encoding, std::string& bytes) const;

  SettingsFileSystem& files_;
  const AnsiCodec& codec_;
  std::unordered_map<std::wstring, Cached> cache_;
};

}  // namespace parvox
