// Fuzzes the INI engine: whatever a settings file holds, writing it out and reading it back
// answers every lookup the same way, and what Set and ReplaceSection store reads back after a
// rewrite.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "settings/IniDocument.h"

namespace {

using parvox::FoldIniName;
using parvox::IniDocument;
using KeyValues = IniDocument::KeyValues;

constexpr size_t kMaxNames = 48;
constexpr int kMaxOperations = 48;

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\v'; }

std::wstring Trim(std::wstring_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return std::wstring(text.substr(begin, end - begin));
}

std::wstring Widen(const std::string& bytes) {
  std::wstring text;
  text.reserve(bytes.size());
  for (char c : bytes) text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return text;
}

// The file's bytes as the settings store decodes them: UTF-16LE after a byte-order mark, else
// one character per byte (Latin-1 standing in for the ANSI code page).
std::wstring DecodeFile(const std::string& bytes) {
  if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
      static_cast<unsigned char>(bytes[1]) != 0xFE) {
    return Widen(bytes);
  }
  std::wstring text;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    unsigned low = static_cast<unsigned char>(bytes[i]);
    unsigned high = static_cast<unsigned char>(bytes[i + 1]);
    text.push_back(static_cast<wchar_t>(low | (high << 8)));
  }
  return text;
}

// Section and key names seen in the text, so that lookups hit what the file really holds.
struct Names {
  std::vector<std::wstring> sections, keys;
};

Names NamesIn(const std::wstring& text) {
  Names names;
  size_t start = 0;
  while (start <= text.size() && names.sections.size() + names.keys.size() < kMaxNames) {
    size_t end = text.find_first_of(L"\r\n", start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = Trim(std::wstring_view(text).substr(start, end - start));
    if (!line.empty() && line[0] == L'[') {
      size_t close = line.find(L']');
      names.sections.push_back(
          line.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1));
    } else if (!line.empty() && line[0] != L';' && line.find(L'=') != std::wstring::npos) {
      names.keys.push_back(line.substr(0, line.find(L'=')));
    }
    start = end + 1;
  }
  return names;
}

// What a stored value reads back as: CR, LF and NUL cannot be stored and become blanks.
std::wstring Storable(std::wstring value) {
  for (wchar_t& c : value) {
    if (c == L'\r' || c == L'\n' || c == L'\0') c = L' ';
  }
  return value;
}

// Names a caller can store and find again: nothing that ends a line, no NUL, and nothing that
// would make the written line a header, a comment or a key with another name.
bool IsStorableSection(const std::wstring& name) {
  return name.find_first_of(std::wstring(L"]\r\n\0", 4)) == std::wstring::npos;
}

bool IsStorableKey(const std::wstring& name) {
  if (name.find_first_of(std::wstring(L"=\r\n\0", 4)) != std::wstring::npos) return false;
  std::wstring trimmed = Trim(name);
  return trimmed.empty() || (trimmed[0] != L'[' && trimmed[0] != L';');
}

// The first key of every folded name, as ReadSection reports a section.
KeyValues Readable(const KeyValues& lines) {
  KeyValues readable;
  std::set<std::wstring> seen;
  for (const auto& [key, value] : lines) {
    if (seen.insert(FoldIniName(key)).second) readable.emplace_back(key, value);
  }
  return readable;
}

// ReadSection, KeyCount and Find agree, and no folded key is reported twice.
void CheckConsistent(const IniDocument& document, const std::vector<std::wstring>& sections) {
  for (const std::wstring& section : sections) {
    std::set<std::wstring> seen;
    for (const auto& [key, value] : document.ReadSection(section)) {
      CHECK(seen.insert(FoldIniName(key)).second);
      std::wstring found;
      CHECK(document.Find(section, key, found));
      CHECK(found == value);
    }
    CHECK(document.KeyCount(section) == seen.size());
  }
}

void CheckSameLookups(const IniDocument& a, const IniDocument& b, const Names& names) {
  for (const std::wstring& section : names.sections) {
    CHECK(a.ReadSection(section) == b.ReadSection(section));
    for (const std::wstring& key : names.keys) {
      std::wstring valueA, valueB;
      bool foundA = a.Find(section, key, valueA), foundB = b.Find(section, key, valueB);
      CHECK(foundA == foundB);
      CHECK(valueA == valueB);
    }
  }
}

// What the operations promise: single keys set, and sections replaced whole.
struct Expected {
  std::map<std::wstring, std::map<std::wstring, std::wstring>> keys;  // folded names
  std::map<std::wstring, KeyValues> sections;  // folded section -> every key line, in order
};

void CheckExpected(const IniDocument& document, const Expected& expected,
                   const std::map<std::wstring, std::wstring>& spelling) {
  for (const auto& [section, keys] : expected.keys) {
    for (const auto& [key, value] : keys) {
      std::wstring found;
      CHECK(document.Find(spelling.at(section), key, found));
      CHECK(found == value);
    }
  }
  for (const auto& [section, lines] : expected.sections) {
    CHECK(document.ReadSection(spelling.at(section)) == Readable(lines));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  std::wstring text = DecodeFile(input.ConsumeRandomLengthString(1 << 16));
  Names names = NamesIn(text);
  names.sections.push_back(L"Addresses");
  names.keys.push_back(L"Total");

  IniDocument document = IniDocument::Parse(text);
  std::wstring written = document.Serialize();
  IniDocument reread = IniDocument::Parse(written);
  CHECK(reread.LineCount() == document.LineCount());
  CHECK(reread.Serialize() == written);
  CheckSameLookups(document, reread, names);
  CheckConsistent(document, names.sections);

  Expected expected;
  std::map<std::wstring, std::wstring> spelling;  // folded section -> a spelling that finds it
  auto pickName = [&](const std::vector<std::wstring>& pool) {
    if (!pool.empty() && input.ConsumeBool()) {
      return pool[input.ConsumeIntegralInRange<size_t>(0, pool.size() - 1)];
    }
    return Widen(input.ConsumeRandomLengthString(12));
  };
  for (int operation = 0; operation < kMaxOperations && input.remaining_bytes() > 0; ++operation) {
    std::wstring section = pickName(names.sections);
    if (!IsStorableSection(section)) continue;
    std::wstring folded = FoldIniName(section);
    spelling[folded] = section;
    if (names.sections.size() < kMaxNames) names.sections.push_back(section);
    switch (input.ConsumeIntegralInRange(0, 3)) {
      case 0: {
        std::wstring key = pickName(names.keys);
        if (!IsStorableKey(key)) break;
        std::wstring value = Widen(input.ConsumeRandomLengthString(40));
        document.Set(section, key, value);
        if (names.keys.size() < kMaxNames) names.keys.push_back(key);
        if (auto whole = expected.sections.find(folded); whole != expected.sections.end()) {
          KeyValues& lines = whole->second;
          auto same = [&](const auto& line) { return FoldIniName(line.first) == FoldIniName(key); };
          if (auto line = std::find_if(lines.begin(), lines.end(), same); line != lines.end()) {
            line->second = Storable(value);
          } else {
            lines.emplace_back(Trim(key), Storable(value));
          }
        } else {
          expected.keys[folded][FoldIniName(key)] = Storable(value);
        }
        break;
      }
      case 1: {
        KeyValues entries, lines;
        size_t count = input.ConsumeIntegralInRange<size_t>(0, 6);
        for (size_t i = 0; i < count; ++i) {
          std::wstring key = pickName(names.keys);
          if (!IsStorableKey(key)) continue;
          std::wstring value = Widen(input.ConsumeRandomLengthString(40));
          entries.emplace_back(key, value);
          lines.emplace_back(Trim(key), Storable(value));
        }
        document.ReplaceSection(section, entries);
        expected.keys.erase(folded);
        expected.sections[folded] = lines;
        break;
      }
      case 2:
        // A later section of the same name, if any, becomes the readable one: nothing is known.
        document.DeleteSection(section);
        expected.keys.erase(folded);
        expected.sections.erase(folded);
        break;
      default: {
        std::wstring key = pickName(names.keys);
        document.DeleteKey(section, key);
        // A later duplicate of the key may now be the readable one.
        if (auto keys = expected.keys.find(folded); keys != expected.keys.end()) {
          keys->second.erase(FoldIniName(key));
        }
        if (auto whole = expected.sections.find(folded); whole != expected.sections.end()) {
          KeyValues& lines = whole->second;
          auto same = [&](const auto& line) { return FoldIniName(line.first) == FoldIniName(key); };
          if (auto line = std::find_if(lines.begin(), lines.end(), same); line != lines.end()) {
            lines.erase(line);
          }
        }
        break;
      }
    }
  }

  CheckExpected(document, expected, spelling);
  CheckConsistent(document, names.sections);
  written = document.Serialize();
  reread = IniDocument::Parse(written);
  CHECK(reread.LineCount() == document.LineCount());
  CHECK(reread.Serialize() == written);
  CheckExpected(reread, expected, spelling);
  CheckSameLookups(document, reread, names);
  return 0;
}
