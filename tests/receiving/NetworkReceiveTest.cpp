// The network path for real on loopback: a running Parvox answers what is addressed to it and
// ignores the rest. Several parvox.exe on a network are the office-network test's (tests/lan).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/MainLayout.h"
#include "components/AnsiText.h"
#include "components/ListViewChecks.h"
#include "components/UserDataFolder.h"
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
                      int64_t expiresIn = 0, uint32_t options = 0) const {
    uint64_t now = SecondsSince1970();
    std::string bytes = SignedPart(SignedMessage{id,
                                                 now + skewSeconds,
                                                 key->PublicKey(),
                                                 "carol",
                                                 "*",
                                                 computer,
                                                 text,
                                                 {},
                                                 expiresIn != 0 ? now + expiresIn : 0,
                                                 options});
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

// Urgent only from a key known here; an acknowledgement only from the person's button, signed and
// bound to the message like a receipt; no longer once the message expired.
TEST_F(NetworkReceiveTest, UrgentMessagesComeBackUntilAPersonAcknowledgesThem) {
  SetEnvironmentVariableW(L"PARVOX_URGENT_REMINDER_SECONDS", L"1");
  constexpr uint32_t kUrgent = kOptionUrgent | kOptionAcknowledgementRequested;
  SignedPeer carol, stranger;
  stranger.computer += "S";
  Send(carol.Message(1, "hello", 0, 3600));  // a first contact: carol's key is known from now
  Send(stranger.Message(2, "stranger says urgent", 0, 3600, kUrgent));
  HWND notUrgent = PopupWith(L"stranger says urgent");
  ASSERT_NE(notUrgent, nullptr);
  EXPECT_EQ(Text(notUrgent), L"Message from carol");
  EXPECT_NE(Text(GetDlgItem(notUrgent, MessagePopup::kLabVerification))
                .find(L"The sender asked for this message to be urgent"),
            std::wstring::npos);
  SendMessageW(notUrgent, WM_COMMAND, MessagePopup::kCmdOK, 0);  // closed: nothing is sent

  // Something the user works in, and another window that stays on top, as a pop-up would.
  HWND work = CreateWindowExW(0, L"EDIT", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                              nullptr, nullptr, nullptr, nullptr);
  SetForegroundWindow(work);
  SetFocus(work);
  const std::string urgent = carol.Message(3, "the server restarts", 0, 3600, kUrgent);
  Send(urgent);
  HWND popup = PopupWith(L"the server restarts");
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(Text(popup), L"URGENT: Message from carol");
  EXPECT_EQ(Text(GetDlgItem(popup, MessagePopup::kLabVerification)).rfind(L"URGENT: ", 0), 0u);
  EXPECT_EQ(GetFocus(), work) << "the keyboard stays where the user types";
  HWND acknowledge = GetDlgItem(popup, MessagePopup::kCmdAcknowledge);
  EXPECT_TRUE(IsWindowVisible(acknowledge));
  EXPECT_EQ(LOWORD(SendMessageW(popup, DM_GETDEFID, 0, 0)), MessagePopup::kCmdAcknowledge);
  HWND cover = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP, 0, 0, 50, 50, nullptr,
                               nullptr, nullptr, nullptr);
  SetWindowPos(cover, HWND_TOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  auto popupAboveCover = [&] {
    for (HWND w = GetTopWindow(nullptr); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
      if (w == popup || w == cover) return w == popup;
    }
    return false;
  };
  EXPECT_FALSE(popupAboveCover());
  for (DWORD start = GetTickCount(); GetTickCount() - start < 3000 && !popupAboveCover();) {
    PumpMessages();
    Sleep(20);
  }
  EXPECT_TRUE(popupAboveCover()) << "the reminder brings it back to the front";
  EXPECT_EQ(GetFocus(), work);

  SendMessageW(popup, WM_COMMAND, MessagePopup::kCmdAcknowledge, 0);
  std::vector<SignedReceipt> answers = ReceiptsUntil<SignedReceipt>(3);
  auto acknowledgements = std::count_if(answers.begin(), answers.end(), [](auto& r) {
    return r.kind == NetworkKind::kAcknowledgement;
  });
  ASSERT_EQ(acknowledgements, 1) << "one, for the message acknowledged";
  const SignedReceipt& acknowledgement = answers.back();
  EXPECT_EQ(acknowledgement.kind, NetworkKind::kAcknowledgement);
  EXPECT_EQ(acknowledgement.messageDigest, Sha256(urgent));
  EXPECT_TRUE(VerifySignature(acknowledgement.publicKey, SignedPart(acknowledgement),
                              acknowledgement.signature));
  EXPECT_FALSE(IsWindow(popup));

  // Its expiry passes while it is up: it says so, and Enter only closes it.
  Send(carol.Message(4, "soon gone", 0, 2, kOptionAcknowledgementRequested));
  HWND expiring = PopupWith(L"soon gone");
  ASSERT_NE(expiring, nullptr);
  for (DWORD start = GetTickCount();
       GetTickCount() - start < 5000 &&
       IsWindowEnabled(GetDlgItem(expiring, MessagePopup::kCmdAcknowledge));) {
    PumpMessages();
    Sleep(20);
  }
  EXPECT_NE(
      Text(GetDlgItem(expiring, MessagePopup::kLabVerification)).find(L"This message expired at "),
      std::wstring::npos);
  SendMessageW(expiring, WM_COMMAND, IDOK, 0);
  EXPECT_FALSE(IsWindow(expiring));
  Send(carol.Message(5, "last", 0, 3600));
  answers = ReceiptsUntil<SignedReceipt>(5);
  EXPECT_TRUE(std::none_of(answers.begin(), answers.end(), [](auto& r) {
    return r.kind == NetworkKind::kAcknowledgement;
  })) << "closing without acknowledging sends nothing";
  DestroyWindow(cover);
  DestroyWindow(work);
  SetEnvironmentVariableW(L"PARVOX_URGENT_REMINDER_SECONDS", nullptr);
}

// The sender's side, sending to this very computer: who has not acknowledged, when asked and
// across a restart, then the person's acknowledgement in the log.
TEST_F(NetworkReceiveTest, TheSenderLearnsWhoAcknowledgedAndWhoHasNot) {
  Close();
  DeleteFileW(UserDataFile(L"Awaited Acknowledgements.dat").c_str());  // earlier runs' sends
  WriteSettings(
      "[Addresses]\r\nTotal=1\r\nAddress[00001]=ADDRESS=.|TYPE=0\r\n[Settings]\r\n"
      "Internal Send=1\r\nNetwork Port=" +
      std::to_string(port) + "\r\n");
  Start();
  auto ask = [&](const wchar_t* text) {
    SetItemChecked(List(), 0, true);
    SetMessage(text);
    SendMessageW(window->Handle(), WM_COMMAND, kMSendAcknowledged, 0);
    return PopupWith(text);
  };
  auto logAfter = [&](const std::wstring& line) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(10)) {
      PumpMessages();
      if (LogText().find(line) != std::wstring::npos) return true;
    }
    return false;
  };
  const std::wstring me = GetCurrentUserName() + L" (" + ComputerName() + L")";
  HWND popup = ask(L"read me first");
  ASSERT_NE(popup, nullptr);
  EXPECT_TRUE(logAfter(L"Message delivered to " + me + L"."));
  SendMessageW(window->Handle(), WM_COMMAND, kMNotAcknowledged, 0);
  EXPECT_TRUE(logAfter(L" is not acknowledged yet by " + me + L"."));
  SendMessageW(popup, WM_COMMAND, MessagePopup::kCmdAcknowledge, 0);
  EXPECT_TRUE(logAfter(me + L" acknowledged your message of "));
  EXPECT_TRUE(logAfter(L"Everyone acknowledged your message of "));

  // Awaited across a restart, as the relay may bring the answer then.
  ASSERT_NE(ask(L"read me later"), nullptr);
  EXPECT_TRUE(logAfter(L"Message delivered to " + me + L".\r\n"));
  Close();
  Start();
  size_t before = Count(LogText(), L" is not acknowledged yet by " + me + L".");
  SendMessageW(window->Handle(), WM_COMMAND, kMNotAcknowledged, 0);
  EXPECT_EQ(Count(LogText(), L" is not acknowledged yet by " + me + L"."), before + 1);
  EXPECT_EQ(Count(LogText(), L"Everyone acknowledged"), 0u) << "only the one awaited is listed";
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
