// Whom a signed message or receipt proves it comes from: keys remembered on first contact (and
// keys an administrator handed out), the decision for each arrival, and its words for the user.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace parvox {

// A sender is a name at a computer, "PCA\alice", letter case ignored.
std::wstring SenderName(std::wstring_view computer, std::wstring_view user);

class SenderKeys {
 public:
  struct Known {
    std::string key;
    bool given = false;  // by the administrator, in the settings file
    bool operator==(const Known&) const = default;
  };
  // Given keys come first: one the user remembered never overrides one the administrator gave.
  void Give(std::wstring_view sender, std::string key);
  // Anyone may write first under a new name, so the remembered senders are bounded: once there
  // are kMaxRemembered, a new one is not remembered (false) until the user forgets some.
  static constexpr size_t kMaxRemembered = 10000;
  bool Remember(std::wstring_view sender, std::string key);
  std::optional<Known> Find(std::wstring_view sender) const;

 private:
  std::map<std::wstring, std::string> given_, remembered_;
};

enum class Trust {
  kNotVerified,   // the mailslot or version 1: nothing to check
  kVerified,      // signed with the key known for this sender
  kFirstContact,  // signed, and no key was known for this sender: it is remembered now
  kChangedKey,    // signed, but not with the key known for this sender
  kClockSkew,     // signed, but sent too long ago (or ahead) to tell from a message sent again
  kBadSignature,  // not shown, not answered
  kReplay,        // a message already seen from this key: not shown, not answered
};

// A message's time may be this far from this computer's clock before it is taken for old.
inline constexpr int64_t kMaxClockSkewSeconds = 600;

// A datagram's time (seconds since 1970, as the wire has it: any 64-bit number) less this
// computer's, held at the ends of int64_t rather than wrapped, so a time far away never reads as
// near or on the wrong side.
int64_t ClockSkewSeconds(uint64_t sentAt, uint64_t now);

struct SignedArrival {
  std::wstring sender;  // SenderName
  std::string key;
  bool signatureValid = false;
  int64_t skewSeconds = 0;  // ClockSkewSeconds; any value
  bool idSeenFromKey = false;
};

struct TrustDecision {
  Trust trust = Trust::kNotVerified;
  std::optional<SenderKeys::Known> known;  // what was known for the sender before
  int64_t skewMinutes = 0;                 // for kClockSkew, rounded up
};

TrustDecision DecideTrust(const SignedArrival& arrival, const SenderKeys& keys);
// The same known-key rule for a receipt whose signature is valid and that answers a message
// sent: kVerified, kFirstContact or kChangedKey, with what was known.
TrustDecision DecideReceiptTrust(std::wstring_view sender, std::string_view key,
                                 const SenderKeys& keys);

// What the pop-up says about its sender, with the fingerprints for the keys involved.
struct Verification {
  Trust trust = Trust::kNotVerified;
  std::wstring from, computer;
  std::wstring fingerprint, knownFingerprint;
  bool knownKeyGiven = false;
  int64_t skewMinutes = 0;
  bool keyRemembered = true;  // for a first contact: false when the remembered senders are full
};
std::wstring VerificationText(const Verification& verification);
// The same state in a word, for the message's log line.
std::wstring VerificationWord(Trust trust);

}  // namespace parvox
