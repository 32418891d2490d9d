// Fuzzes entry records: splitting and joining gives the record back, and a field replaced with
// SetField reads back through ParseField, for the "|" and "=" every caller uses and for other
// one-character delimiters.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "addressbook/EntryRecord.h"

namespace {

using parvox::ParseField;
using parvox::SetField;
using parvox::SplitRecord;

std::wstring Widen(const std::string& bytes) {
  std::wstring text;
  text.reserve(bytes.size());
  for (char c : bytes) text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return text;
}

std::wstring Join(const std::vector<std::wstring>& fields, const std::wstring& delimiter) {
  std::wstring joined;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) joined += delimiter;
    joined += fields[i];
  }
  return joined;
}

void CheckSplitJoin(const std::wstring& record, const std::wstring& delimiter) {
  std::vector<std::wstring> fields{L"left over"};  // SplitRecord must start afresh
  SplitRecord(record, fields, delimiter);
  CHECK(!fields.empty());
  if (delimiter.empty()) {
    CHECK(fields.size() == 1 && fields[0] == record);
    return;
  }
  CHECK(Join(fields, delimiter) == record);
  for (const std::wstring& field : fields) CHECK(field.find(delimiter) == std::wstring::npos);
}

// The index of the first field named `key` (text before its first assigner), or -1.
long FieldIndex(const std::vector<std::wstring>& fields, const std::wstring& key,
                const std::wstring& assigner) {
  for (size_t i = 0; i < fields.size(); ++i) {
    size_t at = fields[i].find(assigner);
    if (at != std::wstring::npos && fields[i].compare(0, at, key) == 0) return static_cast<long>(i);
  }
  return -1;
}

void CheckSetThenParse(const std::wstring& record, const std::wstring& key,
                       const std::wstring& value, const std::wstring& delimiter,
                       const std::wstring& assigner) {
  const std::wstring fallback = L"<default>";
  std::wstring changed = SetField(record, key, value, delimiter, assigner);
  std::vector<std::wstring> before, after;
  SplitRecord(record, before, delimiter);
  long index = record.empty() ? -1 : FieldIndex(before, key, assigner);
  if (index < 0) {
    CHECK(changed == record);  // a missing key is never added
    return;
  }
  if (value.find(delimiter) != std::wstring::npos) return;  // no escaping exists: it splits

  SplitRecord(changed, after, delimiter);
  CHECK(after.size() == before.size());
  for (size_t i = 0; i < after.size(); ++i) {
    CHECK(after[i] == (static_cast<long>(i) == index ? key + assigner + value : before[i]));
  }
  // A record whose first field holds no assigner reads as having no fields at all.
  if (key.empty() || after.front().find(assigner) == std::wstring::npos) return;
  std::wstring read = ParseField(changed, key, delimiter, assigner, fallback);
  CHECK(read == (value.empty() ? fallback : value));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  uint8_t mode = input.ConsumeIntegral<uint8_t>();
  std::wstring delimiter = L"|", assigner = L"=";
  if (mode & 1) {
    delimiter.assign(1, static_cast<wchar_t>(input.ConsumeIntegral<uint8_t>()));
    assigner.assign(1, static_cast<wchar_t>(input.ConsumeIntegral<uint8_t>()));
    if (delimiter == assigner) return 0;
  }
  std::wstring anyDelimiter = Widen(input.ConsumeRandomLengthString(4));
  std::wstring key = Widen(input.ConsumeRandomLengthString(16));
  std::wstring value = Widen(input.ConsumeRandomLengthString(64));
  std::wstring record = Widen(input.ConsumeRemainingBytesAsString());

  CheckSplitJoin(record, delimiter);
  CheckSplitJoin(record, anyDelimiter);

  const std::wstring fallback = L"<default>";
  std::wstring read = ParseField(record, key, delimiter, assigner, fallback);
  if (record.empty()) {
    CHECK(read.empty());
  } else if (read != fallback) {
    // Always the tail of one field.
    CHECK(read.find(delimiter) == std::wstring::npos);
    CHECK(record.find(read) != std::wstring::npos);
  }

  CheckSetThenParse(record, key, value, delimiter, assigner);
  // Callers set fields that the record really holds: try one of its own names too.
  std::vector<std::wstring> fields;
  SplitRecord(record, fields, delimiter);
  const std::wstring& some = fields[mode % fields.size()];
  if (size_t at = some.find(assigner); at != std::wstring::npos) {
    CheckSetThenParse(record, some.substr(0, at), value, delimiter, assigner);
  }
  return 0;
}
