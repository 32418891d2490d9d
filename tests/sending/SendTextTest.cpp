// NET parameters, mailslot path and datagram bytes.
#include <gtest/gtest.h>

#include "sending/SendText.h"

namespace parvox {
namespace {

TEST(NetSendParameters, UserFormQuotesDomainFormDoesNot) {
  struct Case {
    std::wstring address, type, message, expected;
  } cases[] = {
      {L"bob", L"0", L"hi there", L"SEND \"bob\" hi there"},
      {L"WORKGROUP", L"1", L"hi there", L"SEND /domain:WORKGROUP hi there"},
      {L"pc", L"", L"x", L"SEND /domain:pc x"},    // missing TYPE: domain form
      {L"pc", L"00", L"x", L"SEND /domain:pc x"},  // only exactly "0" is a user
      {L"bob", L"0", L"line1\r\nsaid \"hi\"", L"SEND \"bob\" line1\r\nsaid \"hi\""},
      {L"bob", L"0", L" ", L"SEND \"bob\"  "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.address.begin(), c.address.end()));
    EXPECT_EQ(NetSendParameters(c.address, c.type, c.message), c.expected);
  }
}

TEST(Mailslot, PathAndDatagram) {
  EXPECT_EQ(MailslotPath(L"bob", kMessengerSlot), L"\\\\bob\\mailslot\\messngr");
  EXPECT_EQ(MailslotPath(L"*", kMessengerSlot), L"\\\\*\\mailslot\\messngr");
  std::string datagram = AssembleDatagram("alice", "bob", "hi");
  EXPECT_EQ(datagram, std::string("alice\0bob\0hi\0\0", 14));
  EXPECT_EQ(AssembleDatagram("", "", "").size(), 4u);
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

TEST(IsBroadcastRecipient, DomainsStarAndNoAddress) {
  EXPECT_FALSE(IsBroadcastRecipient(L"bob", L"0"));
  EXPECT_TRUE(IsBroadcastRecipient(L"WORKGROUP", L"1"));
  EXPECT_TRUE(IsBroadcastRecipient(L"pc", L""));  // missing TYPE reads as a domain
  EXPECT_TRUE(IsBroadcastRecipient(L"*", L"0"));
  EXPECT_TRUE(IsBroadcastRecipient(L"", L"0"));
}

}  // namespace
}  // namespace parvox
