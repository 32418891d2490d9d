// A message that arrived for this computer, in the one shape every transport hands to the inbox.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "identity/SenderTrust.h"
#include "receiving/MessageOptions.h"

namespace parvox {

struct IncomingMessage {
  std::wstring from;
  std::wstring to;
  std::wstring text;
  // Set by a transport whose datagrams carry the sender's own identity for a message: the same
  // id arriving by several routes is one message. The classic datagram has none.
  std::optional<std::uint64_t> messageId;
  // What its signature proves about the sender; the classic routes prove nothing.
  Verification verification;
  // For a signed message: the sender (SenderName) and the key it was signed with, which the user
  // may trust in place of a changed one.
  std::wstring senderName;
  std::string signingKey;
  // For a signed message: From, To and Text as its mailslot copy spells them (in the ANSI code
  // page, a character it lacks as "?"), so that the copy is known for a repeat.
  struct Spelling {
    std::wstring from, to, text;
  };
  std::optional<Spelling> classicSpelling;
  // A sentence about how it came, for a message the relay held ("Sent at 09:14, held by the
  // relay for 2 hours."); empty for most.
  std::wstring arrivalNote;
  // What its options ask for, as far as its signature lets them count.
  HonouredOptions options;
  // Seconds since 1970 after which it is no longer valid; 0 for a message without an expiry.
  uint64_t expiresAt = 0;
  // For a message that asks for acknowledgement: sends the signed acknowledgement back by the
  // route it came; false when it could not.
  std::function<bool()> acknowledge;
};

}  // namespace parvox
