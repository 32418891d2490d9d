// Entry record parsing: split, read one field, replace one field.
#include "addressbook/EntryRecord.h"

#include <algorithm>
#include <cwctype>

namespace parvox {
namespace {

bool ContainsIgnoringCase(const std::wstring& text, const std::wstring& part) {
  auto same = [](wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); };
  return std::search(text.begin(), text.end(), part.begin(), part.end(), same) != text.end();
}

// A field's name is the text before its first assigner; a field without one has the empty name
// and no value.
struct FieldParts {
  std::wstring name;
  size_t valueStart = std::wstring::npos;
};

FieldParts SplitField(const std::wstring& field, const std::wstring& assigner) {
  size_t at = assigner.empty() ? std::wstring::npos : field.find(assigner);
  if (at == std::wstring::npos) return {};
  return {field.substr(0, at), at + assigner.size()};
}

}  // namespace

void SplitRecord(const std::wstring& text, std::vector<std::wstring>& fields,
                 const std::wstring& delimiter) {
  fields.clear();
  if (delimiter.empty()) {
    fields.push_back(text);
    return;
  }
  size_t start = 0;
  for (size_t at = text.find(delimiter); at != std::wstring::npos;
       at = text.find(delimiter, start)) {
    fields.emplace_back(text, start, at - start);
    start = at + delimiter.size();
  }
  fields.emplace_back(text, start);
}

std::wstring ParseField(const std::wstring& record, const std::wstring& key,
                        const std::wstring& delimiter, const std::wstring& assigner,
                        const std::wstring& defaultValue) {
  if (record.empty()) return std::wstring();
  std::vector<std::wstring> fields;
  SplitRecord(record, fields, delimiter);
  std::wstring result;
  if (ContainsIgnoringCase(fields.front(), assigner)) {
    for (const std::wstring& field : fields) {
      FieldParts parts = SplitField(field, assigner);
      if (parts.name == key) {
        if (parts.valueStart != std::wstring::npos) result.assign(field, parts.valueStart);
        break;
      }
    }
  }
  return result.empty() ? defaultValue : result;
}

std::wstring SetField(const std::wstring& record, const std::wstring& key,
                      const std::wstring& value, const std::wstring& delimiter,
                      const std::wstring& assigner) {
  if (record.empty()) return std::wstring();
  std::vector<std::wstring> fields;
  SplitRecord(record, fields, delimiter);
  for (std::wstring& field : fields) {
    FieldParts parts = SplitField(field, assigner);
    if (parts.valueStart != std::wstring::npos && parts.name == key) {
      field = key + assigner + value;
      break;
    }
  }
  std::wstring joined;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) joined += delimiter;
    joined += fields[i];
  }
  return joined;
}

}  // namespace parvox
