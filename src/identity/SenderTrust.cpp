// The trust decision and its texts.
#include "identity/SenderTrust.h"

#include <cwctype>

namespace parvox {

std::wstring SenderName(std::wstring_view computer, std::wstring_view user) {
  std::wstring name;
  name.reserve(computer.size() + 1 + user.size());
  for (wchar_t c : computer) name.push_back(static_cast<wchar_t>(std::towlower(c)));
  name.push_back(L'\\');
  for (wchar_t c : user) name.push_back(static_cast<wchar_t>(std::towlower(c)));
  return name;
}

void SenderKeys::Give(std::wstring_view sender, std::string key) {
  given_[std::wstring(sender)] = std::move(key);
}

bool SenderKeys::Remember(std::wstring_view sender, std::string key) {
  std::wstring name(sender);
  auto found = remembered_.find(name);
  if (found != remembered_.end()) {
    found->second = std::move(key);
    return true;
  }
  if (remembered_.size() >= kMaxRemembered) return false;
  remembered_.emplace(std::move(name), std::move(key));
  return true;
}

std::optional<SenderKeys::Known> SenderKeys::Find(std::wstring_view sender) const {
  std::wstring name(sender);
  if (auto found = given_.find(name); found != given_.end()) return Known{found->second, true};
  if (auto found = remembered_.find(name); found != remembered_.end())
    return Known{found->second, false};
  return std::nullopt;
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
  // Unsigned: the distance from INT64_MIN has no int64_t.
  uint64_t skew = arrival.skewSeconds < 0 ? 0 - static_cast<uint64_t>(arrival.skewSeconds)
                                          : static_cast<uint64_t>(arrival.skewSeconds);
  if (skew > static_cast<uint64_t>(kMaxClockSkewSeconds)) {
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
      if (!v.keyRemembered) {
        return L"First message from " + who + L", with the key " + v.fingerprint +
               L". It is not remembered: Parvox already remembers as many senders as it keeps (" +
               std::to_wstring(SenderKeys::kMaxRemembered) + L").";
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
