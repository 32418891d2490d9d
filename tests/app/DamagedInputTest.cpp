// Start-up and the everyday commands of the real main window on settings files that are damaged,
// hostile or simply unusual: the program says what it found, and nothing in the file is lost.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "addressbook/AddressList.h"
#include "app/MainMenus.h"
#include "components/ListViewChecks.h"
#include "settings/AppState.h"
#include "support/MainWindowFixture.h"

namespace parvox {
namespace {

const wchar_t kEmptyBook[] = L"Begin by adding an entry to your address book..";
const wchar_t kBookLoaded[] =
    L"Place a check next to each user or domain you would like to send a message to and click "
    L"Send..";

// The lines of a settings file as text: UTF-16 after a byte-order mark, else one character per
// byte, so that a rewrite must give back every byte of a line it kept.
bool IsUtf16(const std::string& bytes) { return bytes.rfind("\xFF\xFE", 0) == 0; }

std::vector<std::wstring> LinesOf(const std::string& bytes) {
  std::wstring text;
  if (IsUtf16(bytes)) {
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
  } else {
    for (char c : bytes) text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  }
  std::vector<std::wstring> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of(L"\r\n", start);
    if (end == std::wstring::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    bool crlf = end + 1 < text.size() && text[end] == L'\r' && text[end + 1] == L'\n';
    start = end + (crlf ? 2 : 1);
  }
  return lines;
}

// Every line of `before` is still in `after`, in the same order (new lines may come between).
::testing::AssertionResult KeepsEveryLine(const std::string& before, const std::string& after) {
  std::vector<std::wstring> old = LinesOf(before), now = LinesOf(after);
  size_t at = 0;
  for (size_t i = 0; i < old.size(); ++i) {
    while (at < now.size() && now[at] != old[i]) ++at;
    if (at == now.size()) {
      return ::testing::AssertionFailure() << "line " << i + 1 << " of " << old.size() << " ("
                                           << old[i].size() << " characters) is gone";
    }
    ++at;
  }
  return ::testing::AssertionSuccess();
}

std::string Utf16File(const std::wstring& text) {
  std::string bytes = "\xFF\xFE";
  for (wchar_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
  }
  return bytes;
}

std::string Garbage(size_t size) {
  std::mt19937 random(20240601);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  bytes[0] = 'G';  // not a byte-order mark
  return bytes;
}

class DamagedInputTest : public test::MainWindowTest {
 protected:
  void Command(int id) {
    SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
  }

  // The commands that only read the book, each answering with its status text.
  void RunReadOnlyCommands() {
    bool hasRows = RowCount(List()) > 0;
    Command(kMSelectAll);
    EXPECT_EQ(CountCheckedItems(List()), RowCount(List()));
    Command(kMSelectInverted);
    EXPECT_EQ(CountCheckedItems(List()), 0);
    Command(kIdCmdRemove);
    EXPECT_EQ(window->StatusText(),
              hasRows ? L"No entries have been selected (checkmarked) for removal."
                      : L"The address book contains no entries!");
    Command(kMSelectAll);
    SetMessage(L"");
    Command(kIdCmdSend);
    EXPECT_EQ(window->StatusText(),
              hasRows ? L"You need to enter a message before you can send.."
                      : L"You need to have at least one entry in your address book.");
    Command(kMSelectNone);
    Command(kIdCmdClear);
    EXPECT_EQ(window->StatusText(), L"Message has been cleared..");
    Command(kMLog);
    test::PumpMessages();
    EXPECT_EQ(shownBoxes.size(), 0u) << (shownBoxes.empty() ? std::wstring() : shownBoxes[0].text);
  }
};

struct DamagedFile {
  const char* what;
  std::string bytes;
  std::wstring status;
  int rows;
  std::wstring firstAddress, firstDescription;
};

TEST_F(DamagedInputTest, StartUpReportsWhatItFoundAndChangesNothing) {
  const std::wstring longAddress(100000, L'a'), longDescription(100000, L'd');
  const std::string longRecord = "ADDRESS=" + std::string(100000, 'a') +
                                 "|DESCRIPTION=" + std::string(100000, 'd') + "|TYPE=0";
  const std::string book =
      "[Addresses]\nTotal=2\nAddress[00001]=ADDRESS=pc1|DESCRIPTION=first|TYPE=0\n"
      "Address[00002]=ADDRESS=SALES|DESCRIPTION=floor|TYPE=1\n";
  const std::wstring unicodeBook =
      L"[Settings]\r\nInternal Send=1\r\n[Addresses]\r\nTotal=1\r\n"
      L"Address[00001]=ADDRESS=\u738b\u4f1f|DESCRIPTION=\u4e2d\u6587 \u00e9|TYPE=0\r\n";
  const std::string headerless =
      "Total=2\r\nAddress[00001]=ADDRESS=pc1|TYPE=0\r\nAddress[00002]=ADDRESS=pc2|TYPE=0\r\n"
      "[Settings]\r\nInternal Send=0\r\n";
  const std::wstring hugeTotal =
      L"Error loading address book: \"Total\" claims 2000000000 entries, but the file holds "
      L"only 1.";
  const DamagedFile cases[] = {
      {"empty", "", kEmptyBook, 0, L"", L""},
      {"binary garbage", Garbage(256 * 1024), kEmptyBook, 0, L"", L""},
      {"nothing but NUL bytes", std::string(1 << 20, '\0'), kEmptyBook, 0, L"", L""},
      {"NUL bytes before the book",
       std::string(4096, '\0') + "\r\n[Addresses]\r\nTotal=1\r\nAddress[00001]=ADDRESS=pc1\r\n",
       kBookLoaded, 1, L"pc1", L""},
      {"line feeds only", "[Settings]\nInternal Send=1\n" + book, kBookLoaded, 2, L"pc1", L"first"},
      {"UTF-16 with a byte-order mark", Utf16File(unicodeBook), kBookLoaded, 1, L"\u738b\u4f1f",
       L"\u4e2d\u6587 \u00e9"},
      {"the book's keys without the [Addresses] header", headerless, kEmptyBook, 0, L"", L""},
      {"a Total of two thousand million",
       "[Addresses]\r\nTotal=2000000000\r\nAddress[00001]=ADDRESS=a|TYPE=0\r\n", hugeTotal, 1, L"a",
       L""},
      {"fields of 100,000 characters",
       "[Addresses]\r\nTotal=1\r\nAddress[00001]=" + longRecord + "\r\n", kBookLoaded, 1,
       longAddress, longDescription},
  };
  for (const DamagedFile& file : cases) {
    SCOPED_TRACE(file.what);
    shownBoxes.clear();
    WriteSettings(file.bytes);
    Start();
    EXPECT_EQ(window->StatusText(), file.status);
    ASSERT_EQ(RowCount(List()), file.rows);
    if (file.rows > 0) {
      EXPECT_EQ(RowText(List(), 0), file.firstAddress);
      EXPECT_EQ(RowText(List(), 0, 1), file.firstDescription);
    }
    EXPECT_TRUE(test::ReadBytes(SettingsFile()) == file.bytes) << "start-up changed the file";

    RunReadOnlyCommands();
    EXPECT_TRUE(test::ReadBytes(SettingsFile()) == file.bytes)
        << "a read-only command changed the file";
    Close();
    // Shutdown stores the view state; everything the file held before stays.
    std::string after = test::ReadBytes(SettingsFile());
    EXPECT_TRUE(KeepsEveryLine(file.bytes, after));
    EXPECT_EQ(IsUtf16(after), IsUtf16(file.bytes)) << "the encoding changed";
  }
}

TEST_F(DamagedInputTest, UnicodeFileShowsItsCharactersAndKeepsThemThroughASave) {
  WriteSettings(
      Utf16File(L"[Addresses]\r\nTotal=1\r\n"
                L"Address[00001]=ADDRESS=\u738b\u4f1f|DESCRIPTION=\u4e2d\u6587|TYPE=0\r\n"));
  Start();
  ASSERT_EQ(RowCount(List()), 1);
  EXPECT_EQ(RowText(List(), 0, 1), L"\u4e2d\u6587");
  // Sorting saves the book: the Unicode file stays Unicode and holds the same record.
  NMLISTVIEW click{};
  click.hdr.hwndFrom = List();
  click.hdr.idFrom = kIdLvwAddressBook;
  click.hdr.code = LVN_COLUMNCLICK;
  SendMessageW(window->Handle(), WM_NOTIFY, kIdLvwAddressBook, reinterpret_cast<LPARAM>(&click));
  EXPECT_EQ(window->StatusText(), L"The address book has been updated and saved.");
  std::string saved = test::ReadBytes(SettingsFile());
  EXPECT_TRUE(KeepsEveryLine(
      Utf16File(L"Address[00001]=ADDRESS=\u738b\u4f1f|DESCRIPTION=\u4e2d\u6587|TYPE=0\r\n"),
      saved));
}

TEST_F(DamagedInputTest, FiftyMegabyteFileWithATenMegabyteLine) {
  std::string bytes =
      "[Addresses]\r\nTotal=2\r\nAddress[00001]=ADDRESS=pc1|DESCRIPTION=first|TYPE=0\r\n"
      "Address[00002]=ADDRESS=SALES|DESCRIPTION=floor|TYPE=1\r\n[Notes]\r\nBlob=";
  bytes.append(10 << 20, 'x');
  bytes += "\r\n";
  const std::string filler = "; " + std::string(96, '-') + "\r\n";
  while (bytes.size() + filler.size() <= (50u << 20)) bytes += filler;
  WriteSettings(bytes);

  auto begin = std::chrono::steady_clock::now();
  Start();
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(window->StatusText(), kBookLoaded);
  ASSERT_EQ(RowCount(List()), 2);
  EXPECT_EQ(RowText(List(), 1), L"SALES");
  EXPECT_TRUE(test::ReadBytes(SettingsFile()) == bytes) << "start-up changed the file";
  RunReadOnlyCommands();
  Close();
  auto closed = std::chrono::steady_clock::now();
  EXPECT_LT(started - begin, std::chrono::seconds(20));
  EXPECT_LT(closed - started, std::chrono::seconds(30));
  EXPECT_TRUE(KeepsEveryLine(bytes, test::ReadBytes(SettingsFile())));
}

}  // namespace
}  // namespace parvox
