// What a sender takes for an acknowledgement: one that names this very message, comes from whom
// it went to and is signed by the key known for them; in a domain, each computer.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "components/AnsiText.h"
#include "identity/KnownSenderStore.h"
#include "identity/MessageSigning.h"
#include "sending/AwaitedAcknowledgements.h"

namespace parvox {
namespace {

SignedReceipt Acknowledgement(const SigningKey& key, uint64_t id, const std::string& digest,
                              const std::string& computer, const std::string& user) {
  SignedReceipt answer{id, SecondsSince1970(),           digest, key.PublicKey(), computer, user,
                       {}, NetworkKind::kAcknowledgement};
  answer.signature = key.Sign(SignedPart(answer));
  return answer;
}

TEST(TakeAcknowledgement, OnlyTheRightPersonsSignatureOnThisMessageCounts) {
  const std::string pc = "PCK" + std::to_string(GetTickCount64()), digest(32, 'D');
  std::unique_ptr<SigningKey> bob = SigningKey::Generate(), other = SigningKey::Generate();
  ASSERT_TRUE(ReplaceSenderKey(SenderName(FromAnsi(pc), L"bob"), bob->PublicKey()));
  const uint64_t now = SecondsSince1970();
  AcknowledgementLedger ledger;
  ledger.Await({1, 10, digest, L"bob", L"BOB", false, now, now + 600});

  EXPECT_FALSE(
      TakeAcknowledgement(ledger, Acknowledgement(*bob, 10, std::string(32, 'X'), pc, "bob")))
      << "another message's digest";
  EXPECT_FALSE(TakeAcknowledgement(ledger, Acknowledgement(*bob, 11, digest, pc, "bob")));
  SignedReceipt forged = Acknowledgement(*bob, 10, digest, pc, "bob");
  forged.user = "bob ";
  EXPECT_FALSE(TakeAcknowledgement(ledger, forged)) << "changed after it was signed";
  std::optional<std::wstring> line =
      TakeAcknowledgement(ledger, Acknowledgement(*other, 10, digest, pc, "bob"));
  ASSERT_TRUE(line);
  EXPECT_NE(line->find(L"with another key than the one known for them"), std::wstring::npos);
  line = TakeAcknowledgement(ledger, Acknowledgement(*other, 10, digest, pc + "N", "bob"));
  ASSERT_TRUE(line);
  EXPECT_NE(line->find(L"with a key not known here yet"), std::wstring::npos);
  ASSERT_TRUE(ledger.Find(10)->acknowledged.empty()) << "neither counts";

  line = TakeAcknowledgement(ledger, Acknowledgement(*bob, 10, digest, pc, "bob"));
  ASSERT_TRUE(line);
  EXPECT_EQ(line->rfind(L"bob (" + FromAnsi(pc) + L") acknowledged your message of ", 0), 0u);
  EXPECT_NE(line->find(L"\r\nEveryone acknowledged your message of "), std::wstring::npos);
  EXPECT_TRUE(ledger.Empty());

  // A workgroup larger than one message's allowance for a name: every computer counts.
  std::vector<std::unique_ptr<SigningKey>> keys;
  ledger.Open(2);  // its receipts are still coming
  ledger.Await({2, 20, digest, L"WORKGROUP", L"", true, now, now + 600});
  for (int i = 0; i < 20; ++i) {
    keys.push_back(SigningKey::Generate());
    std::string computer = pc + "W" + std::to_string(i);
    ReplaceSenderKey(SenderName(FromAnsi(computer), L"user"), keys.back()->PublicKey());
    EXPECT_TRUE(
        TakeAcknowledgement(ledger, Acknowledgement(*keys.back(), 20, digest, computer, "user")));
  }
  EXPECT_EQ(ledger.Find(20)->acknowledged.size(), 20u);
}

}  // namespace
}  // namespace parvox
