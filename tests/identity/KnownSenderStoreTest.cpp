// The known senders as the window and a script's send share them: one spelling of a name, keys
// written only where none is stored and read at each decision, the bound, and what the
// administrator is told about their section.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "identity/KeyText.h"
#include "identity/KnownSenderStore.h"
#include "identity/MessageSigning.h"
#include "log/Log.h"
#include "settings/AppState.h"
#include "support/TempFolder.h"

namespace parvox {
namespace {

std::string NewKey() { return SigningKey::Generate()->PublicKey(); }

// As another program of this user, or an older version, writes it.
void Store(const std::wstring& sender, const std::wstring& value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKnownSendersRegistryPath, 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, sender.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

std::optional<std::string> Known(const std::wstring& sender) {
  std::optional<SenderKeys::Known> known = KnownSenderKeys(sender).Find(sender);
  return known ? std::optional<std::string>(known->key) : std::nullopt;
}

class KnownSenderStoreTest : public testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kKnownSendersRegistryPath);
    savedSettings_ = App().settingsFilePath;
    App().settingsFilePath = folder_.File(L"Address Book.ini");
    RedirectLog([this](const std::wstring& line) { log_.push_back(line); });
  }
  void TearDown() override {
    RedirectLog({});
    App().settingsFilePath = savedSettings_;
    RegDeleteTreeW(HKEY_CURRENT_USER, kKnownSendersRegistryPath);
  }

  test::TempFolder folder_;
  std::wstring savedSettings_;
  std::vector<std::wstring> log_;
};

TEST_F(KnownSenderStoreTest, OneSpellingOfANameEverywhere) {
  struct Case {
    const wchar_t *computer, *user, *sameComputer, *sameUser;
  } cases[] = {
      {L"Pca", L"ALICE", L"pca", L"alice"},
      {L"PCL", L"\u0141ukasz", L"pcl", L"\u0142ukasz"},  // beyond ASCII
      {L"PCE", L"Jose\u0301", L"PCE", L"Jos\u00E9"},     // composed or not
      {L"PCF", L"\uFF41lice", L"PCF", L"alice"},         // full-width letters
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.user[0]));
    EXPECT_EQ(SenderName(c.computer, c.user), SenderName(c.sameComputer, c.sameUser));
  }
  EXPECT_NE(SenderName(L"pca", L"alice"), SenderName(L"pca", L"alicia"));
  // A name stored by an older version, folded only in ASCII, is still the same sender.
  std::string key = NewKey();
  std::string text = EncodeBase64(key);
  Store(L"pcl\\\u0142ukasz", std::wstring(text.begin(), text.end()));
  EXPECT_EQ(Known(SenderName(L"PCL", L"\u0141ukasz")), key);
}

TEST_F(KnownSenderStoreTest, AKeyIsWrittenOnlyWhereNoneIsStoredAndReadAtEachDecision) {
  const std::wstring bob = SenderName(L"PCB", L"bob");
  std::string first = NewKey(), second = NewKey();
  EXPECT_EQ(Known(bob), std::nullopt);
  EXPECT_EQ(RememberFirstKey(bob, first), Verification::KeyMemory::kRemembered);
  EXPECT_EQ(RememberFirstKey(bob, second), Verification::KeyMemory::kAnotherKeyStored);
  EXPECT_EQ(Known(bob), first) << "learnt meanwhile elsewhere: kept";
  std::string text = EncodeBase64(second);
  Store(bob, std::wstring(text.begin(), text.end()));  // another program's confirmed change
  EXPECT_EQ(Known(bob), second);
  EXPECT_TRUE(ReplaceSenderKey(bob, first));
  EXPECT_EQ(Known(bob), first);
}

TEST_F(KnownSenderStoreTest, ANewSenderReplacesOnlyOneSeenOnce) {
  std::wstring plain = FormatRememberedKey({NewKey(), true, 0});
  for (size_t i = 0; i + 1 < SenderKeys::kMaxRemembered; ++i)
    Store(L"PCS\\U" + std::to_wstring(i), plain);
  const std::wstring once = SenderName(L"PCS", L"once");
  ASSERT_EQ(RememberFirstKey(once, NewKey()), Verification::KeyMemory::kRemembered);
  const std::wstring newcomer = SenderName(L"PCS", L"newcomer");
  EXPECT_EQ(RememberFirstKey(newcomer, NewKey()), Verification::KeyMemory::kRemembered);
  EXPECT_EQ(Known(once), std::nullopt) << "the sender seen only once made room";
  NoteSeenAgain(newcomer);
  EXPECT_EQ(RememberFirstKey(SenderName(L"PCS", L"late"), NewKey()),
            Verification::KeyMemory::kStoreFull);
  EXPECT_TRUE(Known(newcomer).has_value());
  EXPECT_TRUE(Known(SenderName(L"PCS", L"U0")).has_value());
}

TEST_F(KnownSenderStoreTest, TheAdministratorHearsOnceOfEachLineThatDoesNothing) {
  std::string given = NewKey(), remembered = NewKey();
  std::string text = EncodeBase64(given);
  test::WriteBytes(App().settingsFilePath, "[Known Senders]\r\nPCA\\alice=" + text +
                                               "\r\njust a name\r\n; a comment\r\nPCB=" + text +
                                               "\r\n");
  const std::wstring alice = SenderName(L"PCA", L"alice");
  ASSERT_EQ(RememberFirstKey(alice, remembered), Verification::KeyMemory::kRemembered);
  for (int call = 0; call < 2; ++call) EXPECT_EQ(Known(alice), given);
  std::vector<std::wstring> expected = {L"\"PCB=", L"\"just a name\"", L"differs from the one"};
  for (const std::wstring& part : expected) {
    SCOPED_TRACE(std::string(part.begin(), part.end()));
    EXPECT_EQ(std::count_if(
                  log_.begin(), log_.end(),
                  [&](const std::wstring& line) { return line.find(part) != std::wstring::npos; }),
              1);
  }
  EXPECT_EQ(log_.size(), expected.size());
}

}  // namespace
}  // namespace parvox
