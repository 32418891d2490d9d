// Entry keys of the "Addresses" section: how they are spelled and which ones a load reads.
#include "addressbook/AddressBookSection.h"

#include <algorithm>
#include <cwchar>
#include <iterator>

#include "components/NumericText.h"

namespace parvox {
namespace {

// A "Total" may name keys the file lacks (they load as empty rows), but not without limit.
constexpr long long kMissingEntryAllowance = 1000;

struct EntryKeyName {
  bool isEntry = false;
  bool canonical = false;  // spelled as AddressKey(number), which is what a load asks for
  long long number = 0;    // saturates: a key with more digits than fit is beyond any load
};

// Whether `name`, its letters folded, begins with `folded`; builds no string, as a save asks
// this of every line of a large section.
bool FoldedStartsWith(std::wstring_view name, std::wstring_view folded) {
  if (name.size() < folded.size()) return false;
  for (size_t i = 0; i < folded.size(); ++i) {
    if (FoldIniChar(name[i]) != folded[i]) return false;
  }
  return true;
}

EntryKeyName ReadEntryKeyName(std::wstring_view key) {
  constexpr std::wstring_view prefix = L"address[";
  std::wstring_view trimmed = TrimIniName(key);
  EntryKeyName name;
  if (trimmed.size() <= prefix.size() + 1 || !FoldedStartsWith(trimmed, prefix) ||
      trimmed.back() != L']') {
    return name;
  }
  std::wstring_view digits = trimmed.substr(prefix.size(), trimmed.size() - prefix.size() - 1);
  if (!std::all_of(digits.begin(), digits.end(),
                   [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
    return name;
  }
  name.isEntry = true;
  constexpr long long kSaturated = 1'000'000'000'000'000;
  for (wchar_t digit : digits)
    name.number = std::min(kSaturated, name.number * 10 + (digit - L'0'));
  // AddressKey pads to five digits and adds no zeros beyond that.
  bool paddedAsSaved = digits.size() == 5 || (digits.size() > 5 && digits.front() != L'0');
  name.canonical = name.number >= 1 && name.number < kSaturated && paddedAsSaved;
  return name;
}

}  // namespace

std::wstring AddressKey(size_t index) { return L"Address[" + ZeroPadded(index, 5) + L"]"; }

bool IsAddressBookKey(std::wstring_view key) {
  std::wstring_view trimmed = TrimIniName(key);
  if (trimmed.size() == 5 && FoldedStartsWith(trimmed, L"total")) return true;
  EntryKeyName name = ReadEntryKeyName(key);
  return name.isEntry && name.canonical;
}

long long LastPresentEntry(const IniDocument::KeyValues& section, long long limit) {
  long long last = 0;
  for (const auto& entry : section) {
    EntryKeyName name = ReadEntryKeyName(entry.first);
    if (name.canonical && name.number <= limit) last = std::max(last, name.number);
  }
  return last;
}

std::wstring FirstUnreadEntryKey(const IniDocument::KeyValues& section, long long loaded) {
  for (const auto& entry : section) {
    EntryKeyName name = ReadEntryKeyName(entry.first);
    if (name.isEntry && (!name.canonical || name.number > loaded)) return entry.first;
  }
  return L"";
}

BookLoadPlan PlanBookLoad(const IniDocument& book) {
  BookLoadPlan plan;
  plan.totalPresent = book.Find(kAddressesSection, L"Total", plan.totalText);
  size_t keys = book.KeyCount(kAddressesSection);
  long long limit = static_cast<long long>(keys) + kMissingEntryAllowance;
  double claimed = plan.totalPresent ? LeadingNumber(plan.totalText) : 0;
  plan.entries = RoundHalfEvenClamped(claimed, 0, limit + 1);
  if (plan.entries > limit) {
    plan.entries = LastPresentEntry(book.ReadSection(kAddressesSection), limit);
    wchar_t text[400];  // the widest double has 309 digits
    std::swprintf(text, std::size(text),
                  L"\"Total\" claims %.0f entries, but the file holds only %zu.", claimed,
                  keys > 0 ? keys - 1 : 0);
    plan.totalProblem = text;
  }
  return plan;
}

std::wstring UnreadEntriesProblem(const IniDocument& book, const BookLoadPlan& plan, size_t found) {
  // When the section holds only what was read, no key is left to look at: a large book is not
  // copied for nothing.
  if (book.KeyCount(kAddressesSection) == found + (plan.totalPresent ? 1 : 0)) return L"";
  std::wstring unread = FirstUnreadEntryKey(book.ReadSection(kAddressesSection), plan.entries);
  if (unread.empty()) return L"";
  return (plan.totalPresent ? L"\"Total\" is \"" + plan.totalText + L"\""
                            : L"\"Total\" is missing") +
         L", but the file also holds \"" + unread + L"\".";
}

}  // namespace parvox
