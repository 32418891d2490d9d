// NET parameters, the mailslot path and the send texts.
#include <gtest/gtest.h>

#include "sending/SendText.h"

namespace parvox {
namespace {

TEST(NetSendParameters, UserFormQuotesDomainFormDoesNot) {
  struct Case {
    std::wstring address;
    bool domain;
    std::wstring message, expected;
  } cases[] = {
      {L"bob", false, L"hi there", L"SEND \"bob\" hi there"},
      {L"WORKGROUP", true, L"hi there", L"SEND /domain:WORKGROUP hi there"},
      {L"bob", false, L"line1\r\nsaid \"hi\"", L"SEND \"bob\" line1\r\nsaid \"hi\""},
      {L"bob", false, L" ", L"SEND \"bob\"  "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.address.begin(), c.address.end()));
    EXPECT_EQ(NetSendParameters(c.address, c.domain, c.message), c.expected);
  }
}

TEST(Mailslot, Path) {
  EXPECT_EQ(MailslotPath(L"bob", L"messngr"), L"\\\\bob\\mailslot\\messngr");
  EXPECT_EQ(MailslotPath(L"*", L"messngr"), L"\\\\*\\mailslot\\messngr");
}

TEST(SendFailureReason, NamedCodesThenTheSystemsOwnText) {
  struct Case {
    unsigned long code;
    std::wstring systemText, expected;
  } cases[] = {
      {0, L"The operation completed successfully.\r\n", L""},
      {3025, L"",
       L"Remote mailslots are turned off on this computer (error 3025). The policy "
       L"\"Enable remote mailslots\" turns them back on."},
      {53, L"ignored", L"The network path was not found (error 53)."},
      {5, L"ignored", L"Access was denied (error 5)."},
      {2, L"The system cannot find the file specified.\r\n",
       L"The system cannot find the file specified (error 2)."},
      {1231, L"", L"Error 1231."},  // no description from the system
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(SendFailureReason(c.code, c.systemText), c.expected);
  }
}

// A name that would make the mailslot path a share, a web folder or another device is refused.
TEST(Mailslot, OnlyComputerAndDomainNamesAreTargets) {
  for (const wchar_t* name :
       {L"bob", L"PC-7", L"corp.example.com", L"my_pc", L"*", L".", L"10.0.0.5"}) {
    EXPECT_TRUE(IsMailslotTargetName(name)) << std::wstring(name).size();
  }
  for (const wchar_t* name : {L"evilhost\\share", L"evilhost@SSL\\x", L"host/x", L"..", L".x", L"",
                              L"10.0.0.9:42165", L"[::1]", L"a b", L"caf\u00E9"}) {
    EXPECT_FALSE(IsMailslotTargetName(name)) << std::wstring(name).size();
  }
  EXPECT_TRUE(IsMailslotTargetName(std::wstring(255, L'a')));
  EXPECT_FALSE(IsMailslotTargetName(std::wstring(256, L'a')));
}

TEST(IsBroadcastRecipient, DomainsStarAndNoAddress) {
  EXPECT_FALSE(IsBroadcastRecipient(L"bob", false));
  EXPECT_TRUE(IsBroadcastRecipient(L"WORKGROUP", true));
  EXPECT_TRUE(IsBroadcastRecipient(L"*", false));
  EXPECT_TRUE(IsBroadcastRecipient(L"", false));
}

}  // namespace
}  // namespace parvox
