// The network path for real on loopback: a running Parvox answers what is addressed to it and
// ignores the rest. Several parvox.exe on a network are the office-network test's (tests/lan).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/MainLayout.h"
#include "components/AnsiText.h"
#include "identity/KnownSenderStore.h"
#include "identity/MessageSigning.h"
#include "identity/ThisComputer.h"
#include "identity/UserKeyStore.h"
#include "log/Log.h"
#include "log/LogWindow.h"
#include "network/NetworkAddress.h"
#include "network/NetworkDatagram.h"
#include "network/UdpEndpoint.h"
#include "receiving/MessagePopup.h"
#include "support/MainWindowFixture.h"

namespace parvox {
namespace {

using test::PumpMessages;

const IpAddress kLoopback = Ipv4Address(0x7F000001);

std::wstring ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  return GetComputerNameW(name, &length) ? std::wstring(name, length) : std::wstring();
}

// Top-level windows of a class that belong to one process.
std::vector<HWND> WindowsOf(DWORD process, const wchar_t* windowClass) {
  struct Search {
    DWORD process;
    const wchar_t* windowClass;
    std::vector<HWND> found;
  } search{process, windowClass, {}};
  EnumWindows(
      [](HWND window, LPARAM context) -> BOOL {
        auto* s = reinterpret_cast<Search*>(context);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        wchar_t name[64] = L"";
        GetClassNameW(window, name, 64);
        if (owner == s->process && wcscmp(name, s->windowClass) == 0) s->found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

size_t Count(const std::wstring& text, const std::wstring& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

std::string Message(uint64_t id, const std::string& to, const std::string& text = "hi") {
  std::string bytes;
  EncodeNetworkMessage({id, "peer", to, text}, bytes);
  return bytes;
}

class NetworkReceiveTest : public test::MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    ASSERT_EQ(peer.Open(0), UdpEndpoint::OpenResult::kOpen);
    port = test::FreeUdpPort();
    WriteSettings("[Settings]\r\nNetwork Port=" + std::to_string(port) + "\r\n");
    Start();
  }
  void Send(const std::string& bytes) { peer.SendTo({kLoopback, port}, bytes); }
  // Pumps the program until the receipt for `id` is back; returns every receipt of that
  // version read meanwhile.
  template <typename Receipt = NetworkReceipt>
  std::vector<Receipt> ReceiptsUntil(uint64_t id) {
    std::vector<Receipt> receipts;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 20000;) {
      PumpMessages();
      while (std::optional<ReceivedDatagram> datagram = peer.Receive()) {
        DecodedDatagram decoded = DecodeNetworkDatagram(datagram->bytes);
        if (auto* receipt = std::get_if<Receipt>(&decoded)) receipts.push_back(*receipt);
      }
      if (!receipts.empty() && receipts.back().id == id) break;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    PumpMessages();
    return receipts;
  }
  size_t Popups() { return WindowsOf(GetCurrentProcessId(), L"ParvoxMessage").size(); }
  // The pop-up showing `text`, once it is up.
  HWND PopupWith(const std::wstring& text) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < 20000;) {
      PumpMessages();
      for (HWND popup : WindowsOf(GetCurrentProcessId(), L"ParvoxMessage")) {
        if (Text(GetDlgItem(popup, MessagePopup::kTxtMessage)) == text) return popup;
      }
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return nullptr;
  }
  static std::wstring Text(HWND window) {
    wchar_t text[4096] = L"";
    GetWindowTextW(window, text, 4096);
    return text;
  }

  UdpEndpoint peer;
  uint16_t port = 0;
};

TEST_F(NetworkReceiveTest, AnswersWhatIsAddressedHereAndShowsEachIdOnce) {
  const std::string user = ToAnsi(GetCurrentUserName());
  std::string shouted = user;
  CharUpperBuffA(shouted.data(), static_cast<DWORD>(shouted.size()));
  Send(Message(1, "nobody-here"));
  Send(Message(2, "."));  // from this computer only, which loopback is
  Send(Message(3, shouted, "to the user"));
  Send(Message(4, "*", "to everyone"));
  Send(Message(4, "*", "to everyone"));  // another copy of the same message: answered once
  Send(Message(3, "*", "to the user"));  // the same id again, by another route
  Send(Message(5, "*", "the last one"));
  std::vector<NetworkReceipt> receipts = ReceiptsUntil(5);
  std::vector<uint64_t> ids;
  for (const NetworkReceipt& receipt : receipts) {
    ids.push_back(receipt.id);
    EXPECT_EQ(FromAnsi(receipt.computer), ComputerName());
    EXPECT_EQ(receipt.user, user);
  }
  EXPECT_EQ(ids, (std::vector<uint64_t>{2, 3, 4, 3, 5})) << "every accepted message is answered";
  EXPECT_EQ(Popups(), 4u);
  EXPECT_EQ(Count(LogText(), L"Message from peer"), 4u);
  EXPECT_EQ(LogText().find(L"nobody-here"), std::wstring::npos);
}

TEST_F(NetworkReceiveTest, DamagedDatagramsAreIgnored) {
  const std::string good = Message(7, "*");
  std::string wrongVersion = good, wrongKind = good, wrongMagic = good;
  wrongVersion[4] = 2;
  wrongKind[5] = 9;
  wrongMagic[0] = 'X';
  std::string oversized = good.substr(0, kNetworkHeaderBytes);
  oversized.append("peer").push_back('\0');
  oversized.append("*").push_back('\0');
  oversized.append(65000, 'x').push_back('\0');
  const std::string damaged[] = {
      std::string(),
      good.substr(0, 5),                    // the header cut short
      good.substr(0, kNetworkHeaderBytes),  // no fields
      good.substr(0, good.size() - 1),      // the text's NUL missing
      good + "trailing",
      std::string(good.size(), '\0'),
      wrongVersion,
      wrongKind,
      wrongMagic,
      oversized,
      Message(8, ""),  // a message for no one
  };
  for (const std::string& bytes : damaged) Send(bytes);
  Send(Message(9, "*", "still listening"));
  std::vector<NetworkReceipt> receipts = ReceiptsUntil(9);
  ASSERT_EQ(receipts.size(), 1u);
  EXPECT_EQ(receipts[0].id, 9u);
  EXPECT_EQ(Popups(), 1u);
  EXPECT_EQ(Count(LogText(), L"Message from"), 1u);
}

TEST_F(NetworkReceiveTest, AFloodFromOneSourceIsLimitedWithOneLine) {
  constexpr uint64_t kFlood = 200;
  for (uint64_t id = 1; id <= kFlood; ++id) Send(Message(id, "*", std::to_string(id)));
  for (DWORD start = GetTickCount(); GetTickCount() - start < 20000;) {
    PumpMessages();
    if (LogText().find(L"Too many messages") != std::wstring::npos) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  std::vector<NetworkReceipt> receipts;
  while (std::optional<ReceivedDatagram> datagram = peer.Receive()) receipts.emplace_back();
  const std::wstring log = LogText();
  EXPECT_EQ(Count(log,
                  L"Too many messages from 127.0.0.1: further ones are ignored until it "
                  L"sends fewer."),
            1u);
  EXPECT_GE(receipts.size(), 20u) << "a burst goes through";
  EXPECT_LT(receipts.size(), kFlood);
  EXPECT_EQ(Count(log, L"Message from peer"), receipts.size()) << "what is answered is shown";
  EXPECT_LE(Popups(), 10u);
}

// Another Parvox user, on a computer of a name no earlier run has used.
struct SignedPeer {
  std::unique_ptr<SigningKey> key = SigningKey::Generate();
  std::string computer = "PCZ" + std::to_string(GetTickCount64());
  // Without `expiresIn`, in version 2, which does not expire.
  std::string Message(uint64_t id, const std::string& text, int64_t skewSeconds = 0,
                      int64_t expiresIn = 0) const {
    uint64_t now = SecondsSince1970();
    std::string bytes = SignedPart(SignedMessage{id,
                                                 now + skewSeconds,
                                                 key->PublicKey(),
                                                 "carol",
                                                 "*",
                                                 computer,
                                                 text,
                                                 {},
                                                 expiresIn != 0 ? now + expiresIn : 0});
    return bytes + key->Sign(bytes);
  }
  std::wstring Sender() const { return SenderName(FromAnsi(computer), L"carol"); }
};

TEST_F(NetworkReceiveTest, SignedMessagesSayWhoProvablySentThem) {
  SignedPeer carol;
  const std::string first = carol.Message(1,
                                          "Gr\xC3\xBC\xC3\x9F"
                                          "e \xE4\xBD\xA0\xE5\xA5\xBD \xF0\x9F\x98\x80");
  Send(first);
  std::vector<SignedReceipt> receipts = ReceiptsUntil<SignedReceipt>(1);
  ASSERT_EQ(receipts.size(), 1u);
  EXPECT_EQ(receipts[0].messageDigest, Sha256(first)) << "the receipt answers this very datagram";
  EXPECT_EQ(receipts[0].publicKey, UserSigningKey()->PublicKey());
  EXPECT_TRUE(
      VerifySignature(receipts[0].publicKey, SignedPart(receipts[0]), receipts[0].signature));
  EXPECT_EQ(FromUtf8(receipts[0].computer), ComputerName());
  const std::wstring who = L"carol on " + FromAnsi(carol.computer);
  HWND popup = PopupWith(L"Gr\u00FC\u00DFe \u4F60\u597D \U0001F600");
  ASSERT_NE(popup, nullptr) << "any language's text arrives intact";
  std::wstring label = Text(GetDlgItem(popup, MessagePopup::kLabVerification));
  EXPECT_EQ(label.rfind(L"First message from " + who, 0), 0u) << label;
  EXPECT_NE(label.find(KeyFingerprint(carol.key->PublicKey())), std::wstring::npos);
  EXPECT_EQ(KnownSenderKeys(carol.Sender()).Find(carol.Sender())->key, carol.key->PublicKey());

  Send(carol.Message(2, "second"));
  Send(carol.Message(2, "the same id from the same key"));  // a replay: neither shown nor answered
  // 59 min 30 s ago, rounded up to 60 even when the test is slow.
  Send(carol.Message(3, "from long ago", -3570));
  EXPECT_EQ(ReceiptsUntil<SignedReceipt>(3).size(), 2u);
  EXPECT_EQ(Text(GetDlgItem(PopupWith(L"second"), MessagePopup::kLabVerification)),
            L"Verified: " + who);
  EXPECT_NE(Text(GetDlgItem(PopupWith(L"from long ago"), MessagePopup::kLabVerification))
                .find(L"60 minutes away from this computer's clock"),
            std::wstring::npos);
  EXPECT_EQ(Count(LogText(), L"the same id"), 0u);

  // Someone else signs as carol on her computer.
  SignedPeer mallory;
  mallory.computer = carol.computer;
  Send(mallory.Message(4, "it is me, honest"));
  HWND warning = PopupWith(L"it is me, honest");
  ASSERT_NE(warning, nullptr);
  EXPECT_EQ(Text(warning), L"WARNING: Message from carol");
  label = Text(GetDlgItem(warning, MessagePopup::kLabVerification));
  EXPECT_EQ(label.rfind(L"WARNING: this may not be " + who + L".", 0), 0u) << label;
  EXPECT_NE(label.find(KeyFingerprint(mallory.key->PublicKey())), std::wstring::npos);
  EXPECT_EQ(KnownSenderKeys(carol.Sender()).Find(carol.Sender())->key, carol.key->PublicKey())
      << "the remembered key stays until the user says otherwise";
  const std::wstring log = LogText();
  EXPECT_EQ(Count(log, L"[first contact]: Gr"), 1u);
  EXPECT_EQ(Count(log, L"[verified]: second"), 1u);
  EXPECT_EQ(Count(log, L"[not verified]: from long ago"), 1u);
  EXPECT_EQ(Count(log, L"[KEY CHANGED]: it is me"), 1u);

  HWND trust = GetDlgItem(warning, MessagePopup::kCmdTrust);
  ASSERT_TRUE(IsWindowVisible(trust));
  answer = IDNO;
  SendMessageW(warning, WM_COMMAND, MAKEWPARAM(MessagePopup::kCmdTrust, BN_CLICKED),
               reinterpret_cast<LPARAM>(trust));
  EXPECT_EQ(KnownSenderKeys(carol.Sender()).Find(carol.Sender())->key, carol.key->PublicKey());
  answer = IDYES;
  SendMessageW(warning, WM_COMMAND, MAKEWPARAM(MessagePopup::kCmdTrust, BN_CLICKED),
               reinterpret_cast<LPARAM>(trust));
  ASSERT_EQ(shownBoxes.size(), 2u);
  EXPECT_EQ(shownBoxes.back().caption, L"Trust the new key");
  // Read from the registry, as the next run and a script's send read it.
  EXPECT_EQ(KnownSenderKeys(carol.Sender()).Find(carol.Sender())->key, mallory.key->PublicKey());
}

// A message with an expiry (what the relay holds) may be any age until then, and is never shown
// after it; what was taken stays taken after a restart.
TEST_F(NetworkReceiveTest, ExpiringMessagesShowUntilTheyExpireAndOnlyOnce) {
  SignedPeer carol;
  const std::string heldADay = carol.Message(1, "held a day", -86400, 3600);
  Send(heldADay);
  Send(carol.Message(2, "expired a minute ago", -3600, -60));
  Send(carol.Message(3, "the last one", 0, 60));
  EXPECT_EQ(ReceiptsUntil<SignedReceipt>(3).size(), 2u);
  EXPECT_NE(Text(GetDlgItem(PopupWith(L"held a day"), MessagePopup::kLabVerification))
                .rfind(L"First message from carol", 0),
            std::wstring::npos);
  EXPECT_EQ(Count(LogText(), L"A message from carol on " + FromAnsi(carol.computer) +
                                 L" arrived after it expired and was not shown."),
            1u);
  EXPECT_EQ(Count(LogText(), L"expired a minute ago"), 0u);

  Close();
  Start();
  Send(heldADay);
  Send(carol.Message(4, "after the restart", 0, 60));
  ReceiptsUntil<SignedReceipt>(4);
  ASSERT_NE(PopupWith(L"after the restart"), nullptr);
  EXPECT_EQ(Popups(), 1u) << "the message held a day was taken before the restart";
}

TEST_F(NetworkReceiveTest, ForgedSignaturesAreNeitherShownNorAnsweredWithOneLine) {
  SignedPeer carol;
  std::string tampered = carol.Message(1, "pay the invoice");
  tampered[tampered.size() - kSignatureBytes - 3] = 'X';  // "pay the invoXce"
  std::string otherKey = carol.Message(2, "signed by another");
  otherKey.replace(kNetworkHeaderBytes + 8, kPublicKeyBytes, SigningKey::Generate()->PublicKey());
  for (int copy = 0; copy < 5; ++copy) {
    Send(tampered);
    Send(otherKey);
  }
  Send(carol.Message(3, "after the forgeries"));
  std::vector<SignedReceipt> receipts = ReceiptsUntil<SignedReceipt>(3);
  ASSERT_EQ(receipts.size(), 1u);
  ASSERT_NE(PopupWith(L"after the forgeries"), nullptr);
  EXPECT_EQ(Popups(), 1u);
  EXPECT_EQ(
      Count(LogText(), L"A message that claims to come from carol on " + FromAnsi(carol.computer) +
                           L" failed its signature check and was not shown."),
      1u);
}

// A neighbour's tricks: an unsigned copy sent first hides no signed one, so no key is learnt
// without its pop-up; a copy passed on from another address takes no answer from the real one.
TEST_F(NetworkReceiveTest, NoCopyHidesTheSignedMessageOrTakesItsAnswer) {
  SignedPeer neighbour;
  std::string unsignedCopy;
  EncodeNetworkMessage({7, "carol", "*", "shadowed"}, unsignedCopy);
  Send(unsignedCopy);
  ASSERT_NE(PopupWith(L"shadowed"), nullptr);
  const std::string signedCopy = neighbour.Message(8, "shadowed");
  UdpEndpoint passer;
  ASSERT_EQ(passer.Open(0), UdpEndpoint::OpenResult::kOpen);
  passer.SendTo({kLoopback, port}, signedCopy);
  Send(signedCopy);
  std::vector<SignedReceipt> receipts = ReceiptsUntil<SignedReceipt>(8);
  ASSERT_FALSE(receipts.empty()) << "the sender's own copy is answered";
  EXPECT_EQ(receipts.back().messageDigest, Sha256(signedCopy));
  std::vector<std::wstring> labels;
  for (HWND popup : WindowsOf(GetCurrentProcessId(), L"ParvoxMessage"))
    labels.push_back(Text(GetDlgItem(popup, MessagePopup::kLabVerification)));
  ASSERT_EQ(labels.size(), 2u) << "the unsigned copy and the signed one, once";
  const std::wstring firstContact = L"First message from carol on " + FromAnsi(neighbour.computer);
  EXPECT_EQ(std::count_if(labels.begin(), labels.end(),
                          [&](const std::wstring& l) { return l.rfind(firstContact, 0) == 0; }),
            1);
  EXPECT_EQ(KnownSenderKeys(neighbour.Sender()).Find(neighbour.Sender())->key,
            neighbour.key->PublicKey());
}

// A neighbour inventing senders fills the remembered keys only slowly.
TEST_F(NetworkReceiveTest, ASourceIntroducesOnlyAFewNewSendersAnHour) {
  std::vector<SignedPeer> senders(4);
  for (size_t i = 0; i < senders.size(); ++i) {
    senders[i].computer.append("N").append(std::to_string(i));
    Send(senders[i].Message(30 + i, "new sender " + std::to_string(i)));
  }
  ReceiptsUntil<SignedReceipt>(33);
  for (size_t i = 0; i < senders.size(); ++i) {
    SCOPED_TRACE(i);
    HWND popup = PopupWith(L"new sender " + std::to_wstring(i));
    ASSERT_NE(popup, nullptr);
    bool remembered = i < 3;
    EXPECT_EQ(Text(GetDlgItem(popup, MessagePopup::kLabVerification)).find(L"not remembered yet") ==
                  std::wstring::npos,
              remembered);
    EXPECT_EQ(KnownSenderKeys(senders[i].Sender()).Find(senders[i].Sender()).has_value(),
              remembered);
  }
}

}  // namespace
}  // namespace parvox
