// Signing through the system's CNG, and the user's key kept under DPAPI in the registry.
#include <gtest/gtest.h>
#include <windows.h>

#include <latch>
#include <thread>
#include <vector>

#include "components/UniqueHandle.h"
#include "identity/KeyText.h"
#include "identity/MessageSigning.h"
#include "identity/UserKeyStore.h"

namespace parvox {
namespace {

TEST(MessageSigning, SignaturesVerifyOnlyForTheirBytesAndKey) {
  std::unique_ptr<SigningKey> key = SigningKey::Generate();
  std::unique_ptr<SigningKey> other = SigningKey::Generate();
  ASSERT_NE(key, nullptr);
  ASSERT_NE(other, nullptr);
  ASSERT_EQ(key->PublicKey().size(), 65u);
  EXPECT_EQ(key->PublicKey()[0], '\x04');
  std::string signature = key->Sign("the bytes");
  ASSERT_EQ(signature.size(), 64u);
  EXPECT_TRUE(VerifySignature(key->PublicKey(), "the bytes", signature));
  EXPECT_FALSE(VerifySignature(key->PublicKey(), "the bytez", signature));
  EXPECT_FALSE(VerifySignature(other->PublicKey(), "the bytes", signature));
  std::string flipped = signature;
  flipped[10] ^= 1;
  EXPECT_FALSE(VerifySignature(key->PublicKey(), "the bytes", flipped));
  EXPECT_FALSE(VerifySignature("\x04" + std::string(64, '\0'), "the bytes", signature));
  EXPECT_FALSE(VerifySignature(key->PublicKey(), "the bytes", signature.substr(1)));

  std::unique_ptr<SigningKey> again = SigningKey::FromPrivateBlob(key->PrivateBlob());
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->PublicKey(), key->PublicKey());
  EXPECT_TRUE(VerifySignature(key->PublicKey(), "more", again->Sign("more")));
  EXPECT_EQ(SigningKey::FromPrivateBlob("not a key"), nullptr);
  EXPECT_EQ(Sha256("abc"), std::string("\xBA\x78\x16\xBF\x8F\x01\xCF\xEA\x41\x41\x40\xDE\x5D\xAE"
                                       "\x22\x23\xB0\x03\x61\xA3\x96\x17\x7A\x9C\xB4\x10\xFF\x61"
                                       "\xF2\x00\x15\xAD",
                                       32));
}

// The user's stored key for the test's length, put back afterwards.
class UserKeyStoreTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Parvox", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &opened, nullptr),
              ERROR_SUCCESS);
    key = RegistryKey(opened);
    saved = Value(kPrivateKeyValue);
    RegDeleteValueW(key.Get(), kPrivateKeyValue);
  }
  void TearDown() override {
    if (!saved.empty()) Write(kPrivateKeyValue, saved);
  }
  std::string Value(const std::wstring& name) {
    DWORD size = 0;
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr, nullptr, &size) != 0) return {};
    std::string bytes(size, '\0');
    RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr,
                     reinterpret_cast<BYTE*>(bytes.data()), &size);
    return bytes;
  }
  void Write(const std::wstring& name, const std::string& bytes) {
    RegSetValueExW(key.Get(), name.c_str(), 0, REG_BINARY,
                   reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
  }
  HKEY opened = nullptr;
  RegistryKey key;
  std::string saved;
};

TEST_F(UserKeyStoreTest, KeptUnderDpapiAndAnUnreadableOneIsSetAside) {
  LoadedUserKey made = LoadOrCreateUserKey();
  ASSERT_NE(made.key, nullptr);
  EXPECT_TRUE(made.notice.empty());
  std::string stored = Value(kPrivateKeyValue);
  ASSERT_FALSE(stored.empty());
  EXPECT_EQ(stored.find(made.key->PrivateBlob().substr(8)), std::string::npos)
      << "the private key is not stored in the clear";
  std::string publicText = EncodeBase64(made.key->PublicKey());
  std::wstring widePublic(publicText.begin(), publicText.end());
  std::string publicValue = Value(kPublicKeyValue);
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(publicValue.data())), widePublic);

  LoadedUserKey read = LoadOrCreateUserKey();
  ASSERT_NE(read.key, nullptr);
  EXPECT_EQ(read.key->PublicKey(), made.key->PublicKey());

  // As after copying a profile to another computer: DPAPI cannot open the blob there.
  std::string foreign = stored;
  foreign[foreign.size() - 5] ^= 1;
  Write(kPrivateKeyValue, foreign);
  LoadedUserKey replaced = LoadOrCreateUserKey();
  ASSERT_NE(replaced.key, nullptr);
  EXPECT_NE(replaced.key->PublicKey(), made.key->PublicKey());
  size_t quote = replaced.notice.find(L"\"");
  ASSERT_NE(quote, std::wstring::npos) << replaced.notice;
  std::wstring asideName =
      replaced.notice.substr(quote + 1, replaced.notice.rfind(L"\"") - quote - 1);
  EXPECT_EQ(asideName.rfind(L"Private Key (unreadable, set aside ", 0), 0u);
  EXPECT_EQ(Value(asideName), foreign) << "the old blob is kept, not overwritten";
  RegDeleteValueW(key.Get(), asideName.c_str());
}

// As parvox.exe and parvox.com started together for the first time: each signs with the one key
// that is kept.
TEST_F(UserKeyStoreTest, MadeOnceWhenProgramsStartTogether) {
  constexpr int kPrograms = 4;
  std::vector<std::string> keys(kPrograms);
  std::latch start(kPrograms);
  std::vector<std::thread> programs;
  for (int i = 0; i < kPrograms; ++i) {
    programs.emplace_back([&, i] {
      start.arrive_and_wait();
      LoadedUserKey loaded = LoadOrCreateUserKey();
      if (loaded.key != nullptr) keys[i] = loaded.key->PublicKey();
    });
  }
  for (std::thread& program : programs) program.join();
  LoadedUserKey kept = LoadOrCreateUserKey();
  ASSERT_NE(kept.key, nullptr);
  for (const std::string& key : keys) EXPECT_EQ(key, kept.key->PublicKey());
}

}  // namespace
}  // namespace parvox
