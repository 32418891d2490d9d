// The "Addresses" section: "Total", then "Address[00001]"... holding each row's record.
#include "addressbook/AddressBookStore.h"

#include <commctrl.h>

#include <cstdio>
#include <stdexcept>
#include <unordered_set>
#include <vector>

#include "addressbook/AddressList.h"
#include "addressbook/EntryRecord.h"
#include "app/Seams.h"
#include "app/Version.h"
#include "app/AppState.h"
#include "components/ListViewChecks.h"
#include "settings/NumericText.h"
#include "settings/SettingsFile.h"

namespace parvox {
namespace {

// A "Total" may name keys the file lacks (they load as empty rows), but not without limit:
// a hand-edited "Total=2000000000" would otherwise fill the list for hours.
constexpr long long kMissingEntryAllowance = 1000;

// Set while the list lacks entries the file holds (a load that failed part-way, or a file that
// could not be read): saving the list would then remove them, so saving is refused.
bool bookIncomplete = false;

class RedrawOff {
 public:
  explicit RedrawOff(HWND window) : window_(window) { SendMessageW(window_, WM_SETREDRAW, FALSE, 0); }
  ~RedrawOff() {
    SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(window_, nullptr, TRUE);
  }

 private:
  HWND window_;
};

// Reads each record straight from the parsed file: no copy of the section is made. Returns how
// many of the keys asked for the file holds.
size_t FillList(HWND list, const IniDocument& book, long long total) {
  RedrawOff redrawOff(list);
  SendMessageW(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(total), LVSICF_NOINVALIDATEALL);
  std::wstring record;
  size_t found = 0;
  for (long long i = 1; i <= total; ++i) {
    if (book.Find(kAddressesSection, AddressKey(static_cast<size_t>(i)), record)) {
      ++found;
    } else {
      record.clear();
    }
    int image = TypeImageIndex(LeadingNumber(ParseField(record, L"TYPE", L"|", L"=", L"")));
    if (AppendAddressRow(list, ParseField(record, L"ADDRESS", L"|", L"=", L""),
                         ParseField(record, L"DESCRIPTION", L"|", L"=", L""), image, record) < 0) {
      throw std::runtime_error("the list refused entry " + std::to_string(i));
    }
  }
  return found;
}

std::wstring Widen(const char* text) { return std::wstring(text, text + std::char_traits<char>::length(text)); }

}  // namespace

bool AddressBookComplete() { return !bookIncomplete; }

bool LoadAddressBook(AddressBookHost& host) {
  HWND list = host.AddressList();
  const std::wstring& file = App().settingsFilePath;
  bookIncomplete = true;  // until the load has put every entry of the file in the list
  try {
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    // Held while the list is filled: nothing the list's notifications run writes the file.
    const IniDocument& book = ReadIniDocument(file);
    // Asked after the read, so that both describe the same attempt.
    if (!IniFileReadable(file)) {
      throw std::runtime_error(
          "The settings file could not be read (another program may be using it).");
    }
    std::wstring totalText;
    bool totalPresent = book.Find(kAddressesSection, L"Total", totalText);
    size_t keys = book.KeyCount(kAddressesSection);
    long long limit = static_cast<long long>(keys) + kMissingEntryAllowance;
    double claimed = totalPresent ? LeadingNumber(totalText) : 0;
    long long total = RoundHalfEvenClamped(claimed, 0, limit + 1);
    if (total > limit) {
      IniDocument::KeyValues section = book.ReadSection(kAddressesSection);
      // The entries the file does hold are loaded all the same, so that a later save keeps
      // them; only when some lie too far beyond the others is the book left incomplete.
      long long loaded = LastPresentEntry(section, limit);
      FillList(list, book, loaded);
      bookIncomplete = !FirstUnreadEntryKey(section, loaded).empty();
      char text[160];
      std::snprintf(text, sizeof text, "\"Total\" claims %.0f entries, but the file holds only %zu.",
                    claimed, keys > 0 ? keys - 1 : 0);
      throw std::runtime_error(text);
    }
    size_t found = FillList(list, book, total);
    // A "Total" below the entries the file holds (or missing, or no number) leaves some unread:
    // saving the list would remove them. When the section holds only what was read, no key
    // is left to look at.
    std::wstring unread;
    if (keys != found + (totalPresent ? 1 : 0)) {
      unread = FirstUnreadEntryKey(book.ReadSection(kAddressesSection), total);
    }
    if (!unread.empty()) {
      host.SetStatusText(L"Error loading address book: " +
                         (totalPresent ? L"\"Total\" is \"" + totalText + L"\"" : L"\"Total\" is missing") +
                         L", but the file also holds \"" + unread + L"\".");
      host.UpdateEntryCommands();
      return false;
    }
    bookIncomplete = false;
    host.SetStatusText(total < 1 ? L"Begin by adding an entry to your address book.."
                                 : L"Place a check next to each user or domain you would like to send a "
                                   L"message to and click Send..");
    host.UpdateEntryCommands();
    return true;
  } catch (const std::exception& error) {
    host.SetStatusText(L"Error loading address book: " + Widen(error.what()));
    return false;
  }
}

void RestoreLastSelection(AddressBookHost& host) {
  HWND list = host.AddressList();
  std::wstring value = ReadIniValue(kSettingsSection, L"Last Selected", L"", App().settingsFilePath);
  if (value.empty()) return;
  std::vector<std::wstring> pieces;
  SplitRecord(value, pieces, L"|");
  std::unordered_set<std::wstring> wanted(pieces.begin(), pieces.end());
  for (int row = 0, rows = RowCount(list); row < rows; ++row) {
    if (wanted.count(RowText(list, row)) != 0) SetItemChecked(list, row, true);
  }
}

void SaveAddressBook(AddressBookHost& host) {
  HWND list = host.AddressList();
  if (bookIncomplete) {
    ShowMessageBox(GetAncestor(list, GA_ROOT),
                   L"There was an error saving the address book: \r\n\tNot every entry of the settings "
                   L"file could be loaded (see the status line), and saving now would remove the "
                   L"others. Correct or restore the settings file, then start the program again.",
                   AppTitle(), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  int rows = RowCount(list);
  IniDocument::KeyValues entries;
  entries.reserve(static_cast<size_t>(rows) + 1);
  entries.emplace_back(L"Total", std::to_wstring(rows));
  for (int row = 0; row < rows; ++row) {
    entries.emplace_back(AddressKey(static_cast<size_t>(row) + 1), RowTag(list, row));
  }
  if (!ReplaceIniSection(kAddressesSection, entries, App().settingsFilePath, IsAddressBookKey)) {
    ShowMessageBox(GetAncestor(list, GA_ROOT),
                   L"There was an error saving the address book: \r\n\tThe settings file \"" +
                       App().settingsFilePath + L"\" could not be written (it is read-only or in use).",
                   AppTitle(), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  host.SetStatusText(L"The address book has been updated and saved.");
  host.UpdateEntryCommands();
}

std::wstring TickedAddresses(HWND list) {
  std::wstring joined;
  bool first = true;
  for (int row = 0, rows = RowCount(list); row < rows; ++row) {
    if (!IsItemChecked(list, row)) continue;
    if (!first) joined += L'|';
    joined += RowText(list, row);
    first = false;
  }
  return joined;
}

}  // namespace parvox
