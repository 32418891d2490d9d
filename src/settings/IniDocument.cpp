// The profile-function rules for reading and changing an INI file, applied to text in memory.
#include "settings/IniDocument.h"

namespace parvox {
namespace {

bool IsIniBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\v'; }

bool IsQuote(wchar_t c) { return c == L'"' || c == L'\''; }

std::wstring MakeSectionLine(std::wstring_view section) {
  return L"[" + std::wstring(section) + L"]";
}

}  // namespace

std::wstring_view TrimIniName(std::wstring_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsIniBlank(text[begin])) ++begin;
  while (end > begin && IsIniBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

wchar_t FoldIniChar(wchar_t c) {
  if (c >= L'A' && c <= L'Z') return static_cast<wchar_t>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<wchar_t>(c + 32);
  return c;
}

std::wstring FoldIniName(std::wstring_view name) {
  std::wstring folded(TrimIniName(name));
  for (wchar_t& c : folded) c = FoldIniChar(c);
  return folded;
}

std::wstring_view UnquoteIniValue(std::wstring_view raw) {
  std::wstring_view value = TrimIniName(raw);
  if (value.size() >= 2 && IsQuote(value.front()) && value.front() == value.back()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

std::wstring QuoteIniValue(std::wstring_view value) {
  std::wstring stored(value);
  for (wchar_t& c : stored) {
    if (c == L'\r' || c == L'\n' || c == L'\0') c = L' ';
  }
  bool edgeBlank = !stored.empty() && (IsIniBlank(stored.front()) || IsIniBlank(stored.back()));
  bool wrapped = stored.size() >= 2 && IsQuote(stored.front()) && stored.front() == stored.back();
  if (edgeBlank || wrapped) stored = L"\"" + stored + L"\"";
  return stored;
}

IniDocument::Line IniDocument::ClassifyLine(std::wstring text) {
  Line line;
  std::wstring_view view(text);
  size_t first = 0;
  while (first < view.size() && IsIniBlank(view[first])) ++first;
  if (first < view.size() && view[first] == L'[') {
    size_t close = view.find(L']', first + 1);
    size_t end = close == std::wstring_view::npos ? view.size() : close;
    std::wstring_view name = TrimIniName(view.substr(first + 1, end - first - 1));
    line.kind = Kind::kSection;
    line.nameBegin = static_cast<uint32_t>(name.data() - view.data());
    line.nameLength = static_cast<uint32_t>(name.size());
  } else if (first < view.size() && view[first] != L';') {
    size_t equals = view.find(L'=');
    if (equals != std::wstring_view::npos) {
      std::wstring_view name = TrimIniName(view.substr(0, equals));
      std::wstring_view value = TrimIniName(view.substr(equals + 1));
      line.kind = Kind::kKey;
      line.nameBegin = static_cast<uint32_t>(name.data() - view.data());
      line.nameLength = static_cast<uint32_t>(name.size());
      line.valueBegin = static_cast<uint32_t>(value.data() - view.data());
      line.valueLength = static_cast<uint32_t>(value.size());
    }
  }
  line.text = std::move(text);
  return line;
}

std::wstring IniDocument::MakeKeyLine(std::wstring_view key, std::wstring_view value) {
  std::wstring line(key);
  for (wchar_t& c : line) {
    if (c == L'\r' || c == L'\n' || c == L'\0') c = L' ';
  }
  return line + L"=" + QuoteIniValue(value);
}

IniDocument IniDocument::Parse(std::wstring_view text) {
  IniDocument document;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of(L"\r\n", start);
    if (end == std::wstring_view::npos) end = text.size();
    document.lines_.push_back(ClassifyLine(std::wstring(text.substr(start, end - start))));
    // CR LF, a lone CR and a lone LF each end a line.
    bool crlf = end + 1 < text.size() && text[end] == L'\r' && text[end + 1] == L'\n';
    start = end + (crlf ? 2 : 1);
  }
  document.Reindex();
  return document;
}

std::wstring IniDocument::Serialize() const {
  size_t size = 0;
  for (const Line& line : lines_) size += line.text.size() + 2;
  std::wstring text;
  text.reserve(size);
  for (const Line& line : lines_) {
    text += line.text;
    text += L"\r\n";
  }
  return text;
}

std::wstring_view IniDocument::NameOf(const Line& line) const {
  return std::wstring_view(line.text).substr(line.nameBegin, line.nameLength);
}

void IniDocument::Reindex() {
  sections_.clear();
  SectionIndex* current = nullptr;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (line.kind == Kind::kSection) {
      auto [it, added] = sections_.try_emplace(FoldIniName(NameOf(line)), SectionIndex{i, {}});
      // Only the first section of a name can be read; later ones are kept but ignored.
      current = added ? &it->second : nullptr;
    } else if (line.kind == Kind::kKey && current != nullptr) {
      current->keys.try_emplace(FoldIniName(NameOf(line)), i);
    }
  }
}

const IniDocument::SectionIndex* IniDocument::FindSection(std::wstring_view section) const {
  auto it = sections_.find(FoldIniName(section));
  return it == sections_.end() ? nullptr : &it->second;
}

size_t IniDocument::SectionEnd(size_t header) const {
  size_t end = header + 1;
  while (end < lines_.size() && lines_[end].kind != Kind::kSection) ++end;
  return end;
}

size_t IniDocument::LastKeyLine(size_t header) const {
  size_t last = header;
  for (size_t i = header + 1; i < lines_.size() && lines_[i].kind != Kind::kSection; ++i) {
    if (lines_[i].kind == Kind::kKey) last = i;
  }
  return last;
}

bool IniDocument::Find(std::wstring_view section, std::wstring_view key,
                       std::wstring& value) const {
  const SectionIndex* index = FindSection(section);
  if (index == nullptr) return false;
  auto it = index->keys.find(FoldIniName(key));
  if (it == index->keys.end()) return false;
  const Line& line = lines_[it->second];
  value.assign(
      UnquoteIniValue(std::wstring_view(line.text).substr(line.valueBegin, line.valueLength)));
  return true;
}

IniDocument::KeyValues IniDocument::ReadSection(std::wstring_view section) const {
  KeyValues entries;
  const SectionIndex* index = FindSection(section);
  if (index == nullptr) return entries;
  entries.reserve(index->keys.size());
  for (size_t i = index->header + 1; i < lines_.size() && lines_[i].kind != Kind::kSection; ++i) {
    const Line& line = lines_[i];
    if (line.kind != Kind::kKey) continue;
    auto it = index->keys.find(FoldIniName(NameOf(line)));
    if (it == index->keys.end() || it->second != i) continue;  // a later duplicate
    std::wstring_view raw = std::wstring_view(line.text).substr(line.valueBegin, line.valueLength);
    entries.emplace_back(std::wstring(NameOf(line)), std::wstring(UnquoteIniValue(raw)));
  }
  return entries;
}

std::vector<std::wstring> IniDocument::LinesWithoutKey(std::wstring_view section) const {
  std::vector<std::wstring> found;
  const SectionIndex* index = FindSection(section);
  if (index == nullptr) return found;
  for (size_t i = index->header + 1; i < lines_.size() && lines_[i].kind != Kind::kSection; ++i) {
    std::wstring_view text = TrimIniName(lines_[i].text);
    if (lines_[i].kind == Kind::kOther && !text.empty() && text[0] != L';') {
      found.emplace_back(text);
    }
  }
  return found;
}

size_t IniDocument::KeyCount(std::wstring_view section) const {
  const SectionIndex* index = FindSection(section);
  return index == nullptr ? 0 : index->keys.size();
}

void IniDocument::Set(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
  const SectionIndex* index = FindSection(section);
  if (index == nullptr) {
    lines_.push_back(ClassifyLine(MakeSectionLine(section)));
    lines_.push_back(ClassifyLine(MakeKeyLine(key, value)));
  } else if (auto it = index->keys.find(FoldIniName(key)); it != index->keys.end()) {
    Line& line = lines_[it->second];
    line = ClassifyLine(MakeKeyLine(NameOf(line), value));
  } else {
    size_t at = LastKeyLine(index->header) + 1;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                  ClassifyLine(MakeKeyLine(key, value)));
  }
  Reindex();
}

void IniDocument::DeleteKey(std::wstring_view section, std::wstring_view key) {
  const SectionIndex* index = FindSection(section);
  if (index == nullptr) return;
  auto it = index->keys.find(FoldIniName(key));
  if (it == index->keys.end()) return;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(it->second));
  Reindex();
}

void IniDocument::DeleteSection(std::wstring_view section) {
  const SectionIndex* index = FindSection(section);
  if (index == nullptr) return;
  size_t header = index->header, end = SectionEnd(header);
  std::vector<Line> kept;
  kept.reserve(lines_.size());
  for (size_t i = 0; i < lines_.size(); ++i) {
    bool inSection = i >= header && i < end;
    if (!inSection || lines_[i].kind == Kind::kOther) kept.push_back(std::move(lines_[i]));
  }
  lines_ = std::move(kept);
  Reindex();
}

void IniDocument::ReplaceSection(std::wstring_view section, const KeyValues& entries,
                                 const OwnedKey& owned) {
  std::vector<Line> body;
  body.reserve(entries.size());
  for (const auto& [key, value] : entries) body.push_back(ClassifyLine(MakeKeyLine(key, value)));

  const SectionIndex* index = FindSection(section);
  if (index == nullptr) {
    lines_.push_back(ClassifyLine(MakeSectionLine(section)));
    for (Line& line : body) lines_.push_back(std::move(line));
  } else {
    size_t header = index->header, end = SectionEnd(header);
    std::vector<Line> rebuilt;
    rebuilt.reserve(lines_.size() + body.size());
    for (size_t i = 0; i <= header; ++i) rebuilt.push_back(std::move(lines_[i]));
    // The new keys go where the first replaced key stood; every other line of the section
    // (comments, blank lines, keys the caller does not own) stays, in its order around them.
    bool bodyPlaced = false;
    auto placeBody = [&] {
      for (Line& line : body) rebuilt.push_back(std::move(line));
      bodyPlaced = true;
    };
    for (size_t i = header + 1; i < end; ++i) {
      if (lines_[i].kind == Kind::kKey && (!owned || owned(NameOf(lines_[i])))) {
        if (!bodyPlaced) placeBody();
      } else {
        rebuilt.push_back(std::move(lines_[i]));
      }
    }
    if (!bodyPlaced) placeBody();
    for (size_t i = end; i < lines_.size(); ++i) rebuilt.push_back(std::move(lines_[i]));
    lines_ = std::move(rebuilt);
  }
  Reindex();
}

}  // namespace parvox
