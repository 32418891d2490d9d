// The "Addresses" section: "Total", then "Address[00001]"... holding each row's record.
#include "addressbook/AddressBookStore.h"

#include <commctrl.h>

#include <stdexcept>
#include <unordered_set>
#include <vector>

#include "addressbook/AddressList.h"
#include "addressbook/EntryRecord.h"
#include "components/AnsiText.h"
#include "components/ListViewChecks.h"
#include "components/MessageBoxSeam.h"
#include "components/Version.h"
#include "settings/AppState.h"
#include "settings/SettingsFile.h"

namespace parvox {
namespace {

class RedrawOff {
 public:
  explicit RedrawOff(HWND window) : window_(window) {
    SendMessageW(window_, WM_SETREDRAW, FALSE, 0);
  }
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
    int image = TypeImageIndex(EntryTypeOf(record));
    if (AppendAddressRow(list, ParseField(record, L"ADDRESS", L"|", L"=", L""),
                         ParseField(record, L"DESCRIPTION", L"|", L"=", L""), image, record) < 0) {
      throw std::runtime_error("the list refused entry " + std::to_string(i));
    }
  }
  return found;
}

}  // namespace

bool AddressBookStore::LoadAddressBook() {
  HWND list = host_.AddressList();
  const std::wstring& file = App().settingsFilePath;
  incomplete_ = true;  // until the load has put every entry of the file in the list
  try {
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    // Held while the list is filled: nothing the list's notifications run writes the file.
    const IniDocument& book = ReadIniDocument(file);
    // Asked after the read, so that both describe the same attempt.
    if (!IniFileReadable(file)) {
      host_.SetStatusText(
          L"Error loading address book: The settings file could not be read "
          L"(another program may be using it).");
      return false;
    }
    BookLoadPlan plan = PlanBookLoad(book);
    size_t found = FillList(list, book, plan.entries);
    std::wstring unread = UnreadEntriesProblem(book, plan, found);
    incomplete_ = !unread.empty();
    if (!plan.totalProblem.empty()) {
      host_.SetStatusText(L"Error loading address book: " + plan.totalProblem);
      return false;
    }
    if (!unread.empty()) {
      host_.SetStatusText(L"Error loading address book: " + unread);
      host_.UpdateEntryCommands();
      return false;
    }
    host_.SetStatusText(plan.entries < 1
                            ? L"Begin by adding an entry to your address book.."
                            : L"Place a check next to each user or domain you would like to send a "
                              L"message to and click Send..");
    host_.UpdateEntryCommands();
    return true;
  } catch (const std::exception& error) {
    host_.SetStatusText(L"Error loading address book: " + FromAnsi(error.what()));
    return false;
  }
}

void AddressBookStore::RestoreLastSelection() {
  HWND list = host_.AddressList();
  std::wstring value = ReadSetting(SettingId::kLastSelected);
  if (value.empty()) return;
  std::vector<std::wstring> pieces;
  SplitRecord(value, pieces, L"|");
  std::unordered_set<std::wstring> wanted(pieces.begin(), pieces.end());
  for (int row = 0, rows = RowCount(list); row < rows; ++row) {
    if (wanted.count(RowText(list, row)) != 0) SetItemChecked(list, row, true);
  }
}

void AddressBookStore::SaveAddressBook() {
  HWND list = host_.AddressList();
  if (incomplete_) {
    ShowMessageBox(
        host_.Owner(),
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
    ShowMessageBox(host_.Owner(),
                   L"There was an error saving the address book: \r\n\tThe settings file \"" +
                       App().settingsFilePath +
                       L"\" could not be written (it is read-only or in use).",
                   AppTitle(), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  host_.SetStatusText(L"The address book has been updated and saved.");
  host_.UpdateEntryCommands();
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
