// Which of a message's options a receiver acts on, by what its signature proves: anyone can set
// a bit, so only a sender whose key is known here may make a message urgent.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "identity/SenderTrust.h"

namespace parvox {

struct HonouredOptions {
  bool urgent = false;
  bool acknowledgementRequested = false;
  bool urgentRefused = false;  // it asked to be urgent and is shown as an ordinary message
  bool operator==(const HonouredOptions&) const = default;
};

// Urgent only for kVerified. An acknowledgement is asked for by either bit, and honoured for any
// signed message that is shown: the answer is signed by this user and goes only to where the
// message came from, so a stranger gains nothing a receipt does not give.
HonouredOptions HonourOptions(uint32_t options, Trust trust);

// The pop-up's plain line about them ("This message is urgent. ..."); empty for none.
std::wstring OptionsNote(const HonouredOptions& options);
// What the pop-up adds once the message's expiry has passed while it is up.
std::wstring ExpiredNote(std::wstring_view expiredTime);

}  // namespace parvox
