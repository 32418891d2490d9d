// An INI file held in memory, read and changed the way the Windows profile functions do it,
// keeping every line it does not understand so that a rewrite loses nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace parvox {

class IniDocument {
 public:
  using KeyValues = std::vector<std::pair<std::wstring, std::wstring>>;

  static IniDocument Parse(std::wstring_view text);

  // Lines joined with CR LF, the last one terminated too.
  std::wstring Serialize() const;

  // The value of the first `key` in the first `section` (names compared without regard to
  // case, blanks around them ignored); false when either is missing.
  bool Find(std::wstring_view section, std::wstring_view key, std::wstring& value) const;

  // Every readable key of the first `section`, in file order, the first of duplicates only.
  KeyValues ReadSection(std::wstring_view section) const;
  // The lines of the first `section` that hold text but no key (no "="), comments aside: what a
  // reader of the section skips, for saying so.
  std::vector<std::wstring> LinesWithoutKey(std::wstring_view section) const;
  // How many different keys the first `section` holds (0 when it is missing).
  size_t KeyCount(std::wstring_view section) const;

  // Replaces the value of an existing key in place, or adds the key (and the section).
  void Set(std::wstring_view section, std::wstring_view key, std::wstring_view value);
  void DeleteKey(std::wstring_view section, std::wstring_view key);
  // Removes the header and key lines of the first `section`; comments inside it stay.
  void DeleteSection(std::wstring_view section);
  // Which keys of a section a caller replaces as a whole; an empty one owns every key.
  using OwnedKey = std::function<bool(std::wstring_view key)>;
  // Replaces the `owned` keys of the first `section` (header spelling kept) with `entries`, put
  // where the first of them stood, or appends the section. Comments, blank lines and keys the
  // caller does not own stay, in their order.
  void ReplaceSection(std::wstring_view section, const KeyValues& entries,
                      const OwnedKey& owned = {});

  size_t LineCount() const { return lines_.size(); }

 private:
  enum class Kind : uint8_t { kOther, kSection, kKey };
  struct Line {
    std::wstring text;
    Kind kind = Kind::kOther;
    // Name: the section name or the key; value: the stored value with edge blanks removed.
    uint32_t nameBegin = 0, nameLength = 0, valueBegin = 0, valueLength = 0;
  };
  struct SectionIndex {
    size_t header;                                  // line of the first header with this name
    std::unordered_map<std::wstring, size_t> keys;  // folded key -> line of its first occurrence
  };

  static Line ClassifyLine(std::wstring text);
  static std::wstring MakeKeyLine(std::wstring_view key, std::wstring_view value);
  std::wstring_view NameOf(const Line& line) const;
  void Reindex();
  const SectionIndex* FindSection(std::wstring_view section) const;
  // One past the last line of the section whose header is at `header`.
  size_t SectionEnd(size_t header) const;
  size_t LastKeyLine(size_t header) const;

  std::vector<Line> lines_;
  std::unordered_map<std::wstring, SectionIndex> sections_;
};

// Folds a section or key name for comparison: blanks at the ends removed, letters lower-cased.
std::wstring FoldIniName(std::wstring_view name);
// The two steps of FoldIniName, for callers that compare without building a string.
std::wstring_view TrimIniName(std::wstring_view name);
wchar_t FoldIniChar(wchar_t c);

// The value as the profile functions would read it from `raw`: edge blanks trimmed, then one
// pair of matching outer quotes removed.
std::wstring_view UnquoteIniValue(std::wstring_view raw);

// The text to store so that UnquoteIniValue gives back `value` exactly; CR, LF and NUL,
// which cannot be stored, become blanks.
std::wstring QuoteIniValue(std::wstring_view value);

}  // namespace parvox
