// Which "Address[...]" keys of the settings file's "Addresses" section a load reads, so that a
// book missing some of them is never saved over them.
#pragma once

#include <string>
#include <string_view>

#include "settings/IniDocument.h"

namespace parvox {

inline constexpr wchar_t kAddressesSection[] = L"Addresses";

// "Address[00001]": the index with at least five digits.
std::wstring AddressKey(size_t index);

// The keys a save rewrites: "Total" and entries spelled as AddressKey(n) spells them. Every
// other line of the section (comments, keys of other programs, hand-made ones) stays.
bool IsAddressBookKey(std::wstring_view key);

// The highest n from 1 to `limit` whose key AddressKey(n) the section holds (any case); 0 when
// none.
long long LastPresentEntry(const IniDocument::KeyValues& section, long long limit);

// The first key of the section, in file order, named like an entry ("Address[" digits "]", any
// case) that a load of entries 1 to `loaded` does not read: its number is beyond `loaded` or 0,
// or it is spelled other than AddressKey(n) (as "Address[12]"). Empty when there is none.
std::wstring FirstUnreadEntryKey(const IniDocument::KeyValues& section, long long loaded);

// What a load of the book reads, decided from the file alone: entries AddressKey(1) to
// AddressKey(entries).
struct BookLoadPlan {
  long long entries = 0;
  bool totalPresent = false;
  std::wstring totalText;
  // Set when "Total" claims more entries than the file could hold (a hand-edited
  // "Total=2000000000" would otherwise fill the list for hours): the load then reads the
  // entries the file does hold, so a later save keeps them, and fails with this text.
  std::wstring totalProblem;
};
BookLoadPlan PlanBookLoad(const IniDocument& book);

// After a load of `plan` that found `found` of its entries: why the book is incomplete
// ('"Total" is "1", but the file also holds "Address[00002]".'), or empty when the load read
// every entry the file holds.
std::wstring UnreadEntriesProblem(const IniDocument& book, const BookLoadPlan& plan, size_t found);

}  // namespace parvox
