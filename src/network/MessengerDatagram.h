// The classic messenger datagram, as a mailslot carries it: From NUL To NUL Text NUL NUL, texts
// in the ANSI code page. Built by the built-in send and split by the mailslot receiver.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace parvox {

// The datagram is assembled in a buffer of this many bytes; a longer one is never sent.
inline constexpr size_t kMaxDatagramBytes = 65537;
// Windows refuses a broadcast datagram (to a domain or "*") longer than this.
inline constexpr size_t kMaxBroadcastDatagramBytes = 424;
// The mailslot on which the messaging service of every recipient listens.
inline constexpr wchar_t kMessengerSlot[] = L"messngr";

// From NUL To NUL Text NUL NUL, from texts already in the ANSI code page.
std::string AssembleDatagram(std::string_view from, std::string_view to, std::string_view text);

// The three fields of a classic datagram, as views into it. Each field ends at a NUL or at the
// end of the bytes; missing fields are empty and whatever follows the third NUL is ignored.
// Nothing inside the data is taken for a length.
struct DatagramFields {
  std::string_view from;
  std::string_view to;
  std::string_view text;
};
DatagramFields SplitMessengerDatagram(std::string_view datagram);

}  // namespace parvox
