// The trust decision and its texts.
#include "identity/SenderTrust.h"

#include "components/NumericText.h"
#include "identity/KeyText.h"
#include "network/NetworkDatagram.h"

namespace parvox {

void SenderKeys::Give(std::wstring_view sender, std::string key) {
  given_[std::wstring(sender)] = std::move(key);
}

void SenderKeys::Remember(std::wstring_view sender, std::string key) {
  remembered_[std::wstring(sender)] = std::move(key);
}

std::optional<SenderKeys::Known> SenderKeys::Find(std::wstring_view sender) const {
  std::wstring name(sender);
  if (auto found = given_.find(name); found != given_.end()) return Known{found->second, true};
  if (auto found = remembered_.find(name); found != remembered_.end())
    return Known{found->second, false};
  return std::nullopt;
}

std::optional<std::string> PublicKeyFromText(std::wstring_view text) {
  std::string narrow;
  for (wchar_t c : text) {
    if (c > 0x7F) return std::nullopt;
    narrow.push_back(static_cast<char>(c));
  }
  std::optional<std::string> key = DecodeBase64(narrow);
  if (!key || key->size() != kPublicKeyBytes || (*key)[0] != '\x04') return std::nullopt;
  return key;
}

std::optional<RememberedKey> ParseRememberedKey(std::wstring_view text) {
  constexpr std::wstring_view kOnce = L" once ";
  size_t once = text.find(kOnce);
  std::optional<std::string> key = PublicKeyFromText(text.substr(0, once));
  if (!key) return std::nullopt;
  if (once == std::wstring_view::npos) return RememberedKey{std::move(*key), true, 0};
  // Seconds since 1970 fit 32 bits until 2106.
  std::optional<uint32_t> firstSeen =
      StrictDecimal(text.substr(once + kOnce.size()), 10, UINT32_MAX);
  if (!firstSeen) return std::nullopt;
  return RememberedKey{std::move(*key), false, *firstSeen};
}

std::wstring FormatRememberedKey(const RememberedKey& remembered) {
  std::string text = EncodeBase64(remembered.key);
  std::wstring wide(text.begin(), text.end());
  if (!remembered.seenAgain) wide += L" once " + std::to_wstring(remembered.firstSeen);
  return wide;
}

std::optional<size_t> SenderToReplace(
    const std::vector<std::pair<std::wstring, RememberedKey>>& stored) {
  std::optional<size_t> oldest;
  for (size_t i = 0; i < stored.size(); ++i) {
    const RememberedKey& candidate = stored[i].second;
    if (candidate.seenAgain) continue;
    if (!oldest || candidate.firstSeen < stored[*oldest].second.firstSeen) oldest = i;
  }
  return oldest;
}

int64_t ClockSkewSeconds(uint64_t sentAt, uint64_t now) {
  constexpr uint64_t kMostAhead = static_cast<uint64_t>(INT64_MAX);
  if (sentAt >= now) {
    uint64_t ahead = sentAt - now;
    return ahead > kMostAhead ? INT64_MAX : static_cast<int64_t>(ahead);
  }
  uint64_t behind = now - sentAt;
  return behind > kMostAhead ? INT64_MIN : -static_cast<int64_t>(behind);
}

TrustDecision DecideTrust(const SignedArrival& arrival, const SenderKeys& keys) {
  TrustDecision decision;
  if (!arrival.signatureValid) {
    decision.trust = Trust::kBadSignature;
    return decision;
  }
  if (arrival.expirySkewSeconds && *arrival.expirySkewSeconds < 0) {
    decision.trust = Trust::kExpired;
    return decision;
  }
  // Unsigned: the distance from INT64_MIN has no int64_t.
  uint64_t skew = arrival.skewSeconds < 0 ? 0 - static_cast<uint64_t>(arrival.skewSeconds)
                                          : static_cast<uint64_t>(arrival.skewSeconds);
  bool tooOld = arrival.skewSeconds < 0 && !arrival.expirySkewSeconds;
  if (skew > static_cast<uint64_t>(kMaxClockSkewSeconds) && (arrival.skewSeconds > 0 || tooOld)) {
    decision.trust = Trust::kClockSkew;
    decision.skewMinutes = static_cast<int64_t>(skew / 60 + (skew % 60 != 0));
    return decision;
  }
  if (arrival.idSeenFromKey) {
    decision.trust = Trust::kReplay;
    return decision;
  }
  return DecideReceiptTrust(arrival.sender, arrival.key, keys);
}

TrustDecision DecideReceiptTrust(std::wstring_view sender, std::string_view key,
                                 const SenderKeys& keys) {
  TrustDecision decision;
  decision.known = keys.Find(sender);
  if (!decision.known) {
    decision.trust = Trust::kFirstContact;
  } else {
    decision.trust = decision.known->key == key ? Trust::kVerified : Trust::kChangedKey;
  }
  return decision;
}

std::wstring VerificationText(const Verification& v) {
  std::wstring who = v.from + L" on " + v.computer;
  switch (v.trust) {
    case Trust::kVerified:
      return L"Verified: " + who;
    case Trust::kFirstContact:
      switch (v.keyMemory) {
        case Verification::KeyMemory::kStoreFull:
          return L"First message from " + who + L", with the key " + v.fingerprint +
                 L". It is not remembered: Parvox already remembers as many senders as it keeps (" +
                 std::to_wstring(SenderKeys::kMaxRemembered) + L").";
        case Verification::KeyMemory::kTooManyNewSenders:
          return L"First message from " + who + L", with the key " + v.fingerprint +
                 L". It is not remembered yet: too many new senders arrived lately. Their next "
                 L"message will be shown as a first contact again.";
        case Verification::KeyMemory::kAnotherKeyStored:
          return L"First message from " + who + L", with the key " + v.fingerprint +
                 L". Another key was stored for them meanwhile, and it stays: a message signed "
                 L"with this one will be flagged from now on.";
        case Verification::KeyMemory::kNotStored:
        case Verification::KeyMemory::kNotShown:
          return L"First message from " + who + L", with the key " + v.fingerprint +
                 L". It could not be stored, so their next message will be shown as a first "
                 L"contact again.";
        case Verification::KeyMemory::kRemembered:
          break;
      }
      return L"First message from " + who + L": their key " + v.fingerprint +
             L" is remembered from now on. To be sure it is theirs, compare it with them once.";
    case Trust::kChangedKey:
      return L"WARNING: this may not be " + who + L". The message is signed with a different key " +
             (v.knownKeyGiven ? L"from the one your administrator gave for them."
                              : L"from the one remembered for them.") +
             L" Known key: " + v.knownFingerprint + L". This message's key: " + v.fingerprint +
             L".";
    case Trust::kClockSkew:
      return L"Not verified: the message's time is " + std::to_wstring(v.skewMinutes) +
             L" minutes away from this computer's clock, so it may be an old message sent again.";
    case Trust::kNotVerified:
    case Trust::kBadSignature:
    case Trust::kReplay:
    case Trust::kExpired:
      break;
  }
  return L"Not verified: this message came by a route that cannot prove who sent it.";
}

std::wstring VerificationWord(Trust trust) {
  switch (trust) {
    case Trust::kVerified:
      return L"verified";
    case Trust::kFirstContact:
      return L"first contact";
    case Trust::kChangedKey:
      return L"KEY CHANGED";
    default:
      return L"not verified";
  }
}

}  // namespace parvox
