// Whom a signed message or receipt proves it comes from: keys remembered on first contact (and
// keys an administrator handed out), the decision for each arrival, and its words for the user.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace parvox {

// The keys known for senders. A sender is a name at a computer, "PCA\alice", folded into one
// spelling by SenderName (KnownSenderStore.h) before it comes here.
class SenderKeys {
 public:
  struct Known {
    std::string key;
    bool given = false;  // by the administrator, in the settings file
    bool operator==(const Known&) const = default;
  };
  // Given keys come first: one the user remembered never overrides one the administrator gave.
  void Give(std::wstring_view sender, std::string key);
  void Remember(std::wstring_view sender, std::string key);
  // Anyone may write first under a new name, so the store keeps at most this many remembered
  // senders (see RememberedKey for which one a new sender replaces).
  static constexpr size_t kMaxRemembered = 10000;
  std::optional<Known> Find(std::wstring_view sender) const;

 private:
  std::map<std::wstring, std::string> given_, remembered_;
};

// What the registry holds for a remembered sender: the key, and for a sender seen only once so
// far (a first contact), when that was. Once the store is full, a new sender replaces the oldest
// seen only once: given keys and keys seen again are never pushed out by new ones.
struct RememberedKey {
  std::string key;
  bool seenAgain = true;
  uint64_t firstSeen = 0;  // seconds since 1970, for a sender seen once
  bool operator==(const RememberedKey&) const = default;
};
// "KEY" (base64; what older versions wrote, taken for seen again) or "KEY once SECONDS".
std::optional<RememberedKey> ParseRememberedKey(std::wstring_view text);
std::wstring FormatRememberedKey(const RememberedKey& remembered);
// A Parvox public key in base64, strictly: an uncompressed P-256 point.
std::optional<std::string> PublicKeyFromText(std::wstring_view text);
// Of `stored` (sender and what is kept for them), the index of the sender a new one replaces:
// the oldest seen once; none when every one was seen again.
std::optional<size_t> SenderToReplace(
    const std::vector<std::pair<std::wstring, RememberedKey>>& stored);

enum class Trust {
  kNotVerified,   // the mailslot or version 1: nothing to check
  kVerified,      // signed with the key known for this sender
  kFirstContact,  // signed, and no key was known for this sender: it is remembered now
  kChangedKey,    // signed, but not with the key known for this sender
  kClockSkew,     // signed, but sent too long ago (or ahead) to tell from a message sent again
  kBadSignature,  // not shown, not answered
  kReplay,        // a message already seen from this key: not shown, not answered
  kExpired,       // signed, and its expiry has passed: never shown, not answered
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
  // For a message with an expiry, ClockSkewSeconds of it: remembered until it passes, such a
  // message may be any age (the relay held it), but is never shown after it.
  std::optional<int64_t> expirySkewSeconds;
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
  // For a first contact: whether its key is remembered now, and why not.
  enum class KeyMemory {
    kRemembered,
    kStoreFull,
    kTooManyNewSenders,
    kNotStored,
    kNotShown,
    kAnotherKeyStored,  // learnt meanwhile by another Parvox of this user: that one stays
  };
  KeyMemory keyMemory = KeyMemory::kRemembered;
};
std::wstring VerificationText(const Verification& verification);
// The same state in a word, for the message's log line.
std::wstring VerificationWord(Trust trust);

}  // namespace parvox
