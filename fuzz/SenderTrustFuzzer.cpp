// Fuzzes the trust decision with whatever a stranger controls (the sent time, the names, the key)
// against known keys of any shape: no arithmetic fault for any time, the order of the checks
// holds (a bad signature, then the time, then a replay, then the known-key rule a receipt shares),
// and every state has words that name the sender.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "identity/SenderTrust.h"

namespace {

using namespace parvox;

// Windows' wchar_t is 16 bits wide: two bytes a character, whatever the compiler here uses.
std::wstring Wide(FuzzedDataProvider& input, size_t maxBytes) {
  std::string bytes = input.ConsumeRandomLengthString(maxBytes);
  std::wstring text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                        static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  return text;
}

bool Contains(const std::wstring& text, const std::wstring& part) {
  return text.find(part) != std::wstring::npos;
}

void CheckWords(const Verification& v) {
  std::wstring text = VerificationText(v);
  CHECK(!text.empty());
  CHECK(!VerificationWord(v.trust).empty());
  switch (v.trust) {
    case Trust::kVerified:
    case Trust::kFirstContact:
    case Trust::kChangedKey:
      CHECK(Contains(text, v.from + L" on " + v.computer));
      break;
    case Trust::kClockSkew:
      CHECK(Contains(text, std::to_wstring(v.skewMinutes) + L" minutes away"));
      break;
    default:
      CHECK(text.rfind(L"Not verified: ", 0) == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  SignedArrival arrival;
  arrival.skewSeconds = input.ConsumeIntegral<int64_t>();
  arrival.signatureValid = input.ConsumeBool();
  arrival.idSeenFromKey = input.ConsumeBool();
  SenderKeys keys;
  for (int n = input.ConsumeIntegralInRange(0, 8); n > 0; --n) {
    bool given = input.ConsumeBool();
    // Names come folded by the store; any text stands for one here.
    std::wstring sender = Wide(input, 16) + L'\\' + Wide(input, 16);
    std::string key = input.ConsumeRandomLengthString(4);
    if (given) {
      keys.Give(sender, key);
    } else {
      keys.Remember(sender, key);
    }
  }
  std::wstring computer = Wide(input, 16), from = Wide(input, 16);
  arrival.sender = computer + L'\\' + from;
  arrival.key = input.ConsumeRandomLengthString(4);

  TrustDecision decision = DecideTrust(arrival, keys);
  TrustDecision receipt = DecideReceiptTrust(arrival.sender, arrival.key, keys);
  CHECK(receipt.known == keys.Find(arrival.sender));
  CHECK((receipt.trust == Trust::kFirstContact) == !receipt.known);
  CHECK((receipt.trust == Trust::kVerified) ==
        (receipt.known && receipt.known->key == arrival.key));
  // Far off in time on either side, INT64_MIN included.
  bool recent =
      arrival.skewSeconds >= -kMaxClockSkewSeconds && arrival.skewSeconds <= kMaxClockSkewSeconds;
  if (!arrival.signatureValid) {
    CHECK(decision.trust == Trust::kBadSignature);
  } else if (!recent) {
    CHECK(decision.trust == Trust::kClockSkew);
    CHECK(decision.skewMinutes > kMaxClockSkewSeconds / 60);
    // Whole minutes, rounded up: bounds that need no multiplication, which could overflow.
    uint64_t seconds = arrival.skewSeconds < 0 ? 0 - static_cast<uint64_t>(arrival.skewSeconds)
                                               : static_cast<uint64_t>(arrival.skewSeconds);
    uint64_t minutes = static_cast<uint64_t>(decision.skewMinutes);
    CHECK(minutes >= seconds / 60 && minutes <= seconds / 60 + 1);
  } else if (arrival.idSeenFromKey) {
    CHECK(decision.trust == Trust::kReplay);
  } else {
    CHECK(decision.trust == receipt.trust && decision.known == receipt.known);
  }
  if (decision.trust != Trust::kClockSkew) CHECK(decision.skewMinutes == 0);

  Verification shown{decision.trust,
                     from,
                     computer,
                     L"K7QF-2M9D-XW4A-83JT",
                     L"",
                     decision.known && decision.known->given,
                     decision.skewMinutes,
                     static_cast<Verification::KeyMemory>(input.ConsumeIntegralInRange(0, 5))};
  CheckWords(shown);
  // And for a state with figures no decision gives.
  shown.trust = static_cast<Trust>(input.ConsumeIntegralInRange(0, 6));
  shown.skewMinutes = input.ConsumeIntegral<int64_t>();
  CheckWords(shown);

  // What the registry holds for a remembered sender reads back as it was written.
  if (std::optional<RememberedKey> stored = ParseRememberedKey(Wide(input, 200))) {
    CHECK(ParseRememberedKey(FormatRememberedKey(*stored)) == stored);
  }
  return 0;
}
