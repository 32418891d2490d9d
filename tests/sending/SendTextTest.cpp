// NET parameters, mailslot path and datagram bytes.
#include "sending/SendText.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace parvox
