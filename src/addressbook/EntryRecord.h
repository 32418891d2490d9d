// Entry records: one address-book entry as "KEY=value" fields joined by a delimiter.
// No quoting or escaping exists; every caller passes "|" and "=".
#pragma once

#include <string>
#include <vector>

namespace parvox {

// Fills `fields` with the pieces of `text` between non-overlapping occurrences of `delimiter`.
void SplitRecord(const std::wstring& text, std::vector<std::wstring>& fields,
                 const std::wstring& delimiter);

// Value of the first field named exactly `key`; `defaultValue` when it is absent or empty.
// An empty record gives the empty text; a record whose first field lacks `assigner` gives the
// default.
std::wstring ParseField(const std::wstring& record, const std::wstring& key,
                        const std::wstring& delimiter, const std::wstring& assigner,
                        const std::wstring& defaultValue);

// `record` with the first field named exactly `key` replaced by key + assigner + value.
// A key the record lacks is not added.
std::wstring SetField(const std::wstring& record, const std::wstring& key,
                      const std::wstring& value, const std::wstring& delimiter,
                      const std::wstring& assigner);

// What an entry is: a TYPE of exactly "0" is a user or machine; "1" and anything else (missing,
// empty, "00", "7") a domain. The icon, the editor and both send paths ask this one function, so a
// hand-edited TYPE is the same kind of entry everywhere.
enum class EntryType { kUserOrMachine, kDomain };
EntryType EntryTypeOf(const std::wstring& record);

// The record the entry editor stores for a new entry.
std::wstring NewEntryRecord(const std::wstring& address, const std::wstring& description,
                            const std::wstring& type);

// `record` after the entry editor's changes: ADDRESS, DESCRIPTION and TYPE set in place with
// SetField, and any of them the record lacks added at its end, so that what was typed is what
// is stored and read back. A record that reads as nothing (empty, or a first field without "=")
// gets the three fields in front of it; no field it held is lost.
std::wstring EditedEntryRecord(std::wstring record, const std::wstring& address,
                               const std::wstring& description, const std::wstring& type);

}  // namespace parvox
