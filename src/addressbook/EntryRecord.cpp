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

EntryType EntryTypeOf(const std::wstring& record) {
  return ParseField(record, L"TYPE", L"|", L"=", L"") == L"0" ? EntryType::kUserOrMachine
                                                              : EntryType::kDomain;
}

std::wstring NewEntryRecord(const std::wstring& address, const std::wstring& description,
                            const std::wstring& type) {
  return L"ADDRESS=" + address + L"|DESCRIPTION=" + description + L"|TYPE=" + type;
}

std::wstring EditedEntryRecord(std::wstring record, const std::wstring& address,
                               const std::wstring& description, const std::wstring& type) {
  if (record.empty()) return NewEntryRecord(address, description, type);
  if (record.substr(0, record.find(L'|')).find(L'=') == std::wstring::npos) {
    return NewEntryRecord(address, description, type) + L"|" + record;
  }
  struct Edit {
    const wchar_t* key;
    const std::wstring& value;
    bool done = false;
  } edits[] = {{L"ADDRESS", address}, {L"DESCRIPTION", description}, {L"TYPE", type}};
  // As SetField does it for each key: the first field of that name gets the new value.
  std::vector<std::wstring> fields;
  SplitRecord(record, fields, L"|");
  for (std::wstring& field : fields) {
    FieldParts parts = SplitField(field, L"=");
    if (parts.valueStart == std::wstring::npos) continue;
    for (Edit& edit : edits) {
      if (!edit.done && parts.name == edit.key) {
        field = edit.key + (L"=" + edit.value);
        edit.done = true;
        break;
      }
    }
  }
  for (const Edit& edit : edits) {
    if (!edit.done) fields.push_back(edit.key + (L"=" + edit.value));
  }
  std::wstring joined = fields.front();
  for (size_t i = 1; i < fields.size(); ++i) joined += L"|" + fields[i];
  return joined;
}

}  // namespace parvox
