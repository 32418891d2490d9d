// The classic datagram: what the built-in send writes, and how damaged and hostile ones split.
#include <gtest/gtest.h>

#include "network/MessengerDatagram.h"

namespace parvox {
namespace {

using namespace std::string_literals;

TEST(AssembleDatagram, ThreeFieldsAndTwoClosingNuls) {
  std::string datagram = AssembleDatagram("alice", "bob", "hi");
  EXPECT_EQ(datagram, "alice\0bob\0hi\0\0"s);
  EXPECT_EQ(AssembleDatagram("", "", ""), "\0\0\0\0"s);
  DatagramFields fields = SplitMessengerDatagram(datagram);
  EXPECT_EQ(fields.from, "alice");
  EXPECT_EQ(fields.to, "bob");
  EXPECT_EQ(fields.text, "hi");
}

TEST(SplitMessengerDatagram, ToleratesAnyBytes) {
  struct Case {
    const char* name;
    std::string datagram, from, to, text;
  } cases[] = {
      {"classic", "alice\0bob\0hi\0\0"s, "alice", "bob", "hi"},
      {"no trailing NULs", "alice\0bob\0hi"s, "alice", "bob", "hi"},
      {"no NULs at all", "just bytes", "just bytes", "", ""},
      {"one field", "alice\0"s, "alice", "", ""},
      {"two fields", "alice\0bob"s, "alice", "bob", ""},
      {"empty fields", "\0\0hi\0\0"s, "", "", "hi"},
      {"empty datagram", "", "", "", ""},
      {"64 KB of NULs", std::string(65536, '\0'), "", "", ""},
      {"more after the text", "a\0b\0c\0d\0e"s, "a", "b", "c"},
      {"invalid bytes kept for decoding", "\xFF\x81\0\xC3\0\x90x"s, "\xFF\x81", "\xC3", "\x90x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DatagramFields fields = SplitMessengerDatagram(c.datagram);
    EXPECT_EQ(fields.from, c.from);
    EXPECT_EQ(fields.to, c.to);
    EXPECT_EQ(fields.text, c.text);
  }
}

}  // namespace
}  // namespace parvox
