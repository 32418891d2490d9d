// The awaited acknowledgements, their lines and their file.
#include "sending/AcknowledgementLedger.h"

#include <algorithm>
#include <span>

#include "components/BigEndian.h"

namespace parvox {
namespace {

constexpr size_t kDigestBytes = 32;
constexpr size_t kMaxTextUnits = 1024;
constexpr size_t kMaxAcknowledged = 2 * AcknowledgementLedger::kMaxPeople;
constexpr size_t kChecks = 16, kDomainChecks = 1024;
// Names a line lists before it counts the rest.
constexpr size_t kMaxNamedInLine = 64;

std::wstring NameList(const std::vector<std::wstring>& who) {
  std::wstring list;
  size_t named = std::min(who.size(), kMaxNamedInLine);
  for (size_t i = 0; i < named; ++i) list += (i == 0 ? L"" : L", ") + who[i];
  if (who.size() > named) list += L" and " + std::to_wstring(who.size() - named) + L" more";
  return list;
}

bool HasSender(const std::vector<AcknowledgingPerson>& people, const std::wstring& sender) {
  return std::any_of(people.begin(), people.end(),
                     [&](const AcknowledgingPerson& person) { return person.sender == sender; });
}

void AppendText(std::string& bytes, std::wstring_view text) {
  text = text.substr(0, kMaxTextUnits);
  AppendBigEndian<uint16_t>(bytes, static_cast<uint16_t>(text.size()));
  for (wchar_t unit : text) AppendBigEndian<uint16_t>(bytes, static_cast<uint16_t>(unit));
}

bool TakeText(std::string_view& rest, std::wstring& text) {
  if (rest.size() < 2) return false;
  size_t units = ReadBigEndian<uint16_t>(rest);
  if (units > kMaxTextUnits || rest.size() < 2 + 2 * units) return false;
  text.clear();
  for (size_t i = 0; i < units; ++i) {
    text.push_back(static_cast<wchar_t>(ReadBigEndian<uint16_t>(rest.substr(2 + 2 * i))));
  }
  rest.remove_prefix(2 + 2 * units);
  return true;
}

bool TakePeople(std::string_view& rest, size_t most, std::vector<AcknowledgingPerson>& people) {
  if (rest.size() < 2) return false;
  size_t count = ReadBigEndian<uint16_t>(rest);
  rest.remove_prefix(2);
  if (count > most) return false;
  people.resize(count);
  for (AcknowledgingPerson& person : people) {
    if (!TakeText(rest, person.sender) || !TakeText(rest, person.shown)) return false;
  }
  return true;
}

}  // namespace

void AcknowledgementLedger::Await(AcknowledgementRequest request) {
  if (request.receivers.size() > kMaxPeople) request.receivers.resize(kMaxPeople);
  if (request.acknowledged.size() > kMaxAcknowledged) request.acknowledged.resize(kMaxAcknowledged);
  request.checksLeft = request.domain ? kDomainChecks : kChecks;
  if (requests_.size() >= kMaxRequests && requests_.count(request.id) == 0) {
    requests_.erase(std::min_element(requests_.begin(), requests_.end(), [](auto& a, auto& b) {
      return a.second.expiresAt < b.second.expiresAt;
    }));
  }
  uint64_t id = request.id;
  requests_[id] = std::move(request);
}

AcknowledgementRequest* AcknowledgementLedger::Find(uint64_t id) {
  auto found = requests_.find(id);
  return found == requests_.end() ? nullptr : &found->second;
}

void AcknowledgementLedger::SetReceivers(uint64_t id, std::vector<AcknowledgingPerson> receivers) {
  AcknowledgementRequest* request = Find(id);
  if (request == nullptr) return;
  if (receivers.size() > kMaxPeople) receivers.resize(kMaxPeople);
  request->receivers = std::move(receivers);
}

bool AcknowledgementLedger::Acknowledge(uint64_t id, AcknowledgingPerson person) {
  AcknowledgementRequest* request = Find(id);
  if (request == nullptr || HasSender(request->acknowledged, person.sender)) return false;
  // Those awaited always count; others only while there is room, so that acknowledgements in
  // invented names cannot crowd them out.
  size_t others = std::count_if(
      request->acknowledged.begin(), request->acknowledged.end(),
      [&](const AcknowledgingPerson& who) { return !HasSender(request->receivers, who.sender); });
  if (!HasSender(request->receivers, person.sender) && others >= kMaxPeople) return false;
  request->acknowledged.push_back(std::move(person));
  return true;
}

bool Acknowledged(const AcknowledgementRequest& request) {
  if (!request.domain) return !request.acknowledged.empty();
  if (request.receivers.empty()) return !request.acknowledged.empty();
  return std::all_of(request.receivers.begin(), request.receivers.end(),
                     [&](const auto& who) { return HasSender(request.acknowledged, who.sender); });
}

std::vector<std::wstring> Outstanding(const AcknowledgementRequest& request) {
  std::vector<std::wstring> who;
  if (!request.domain && !request.acknowledged.empty()) return who;
  for (const AcknowledgingPerson& receiver : request.receivers) {
    if (!HasSender(request.acknowledged, receiver.sender)) who.push_back(receiver.shown);
  }
  if (request.receivers.empty() && request.acknowledged.empty()) who.push_back(request.address);
  return who;
}

std::vector<AcknowledgementLedger::SendState> AcknowledgementLedger::Sends() const {
  std::map<uint64_t, SendState> bySend;
  for (const auto& [id, request] : requests_) {
    SendState& state = bySend[request.send];
    state.send = request.send;
    state.sentAt = request.sentAt;
    state.expiresAt = request.expiresAt;
    for (std::wstring& who : Outstanding(request)) state.outstanding.push_back(std::move(who));
  }
  std::vector<SendState> sends;
  for (auto& [send, state] : bySend) sends.push_back(std::move(state));
  std::stable_sort(sends.begin(), sends.end(),
                   [](const SendState& a, const SendState& b) { return a.sentAt < b.sentAt; });
  return sends;
}

std::vector<AcknowledgementLedger::SendState> AcknowledgementLedger::TakeExpired(uint64_t now) {
  std::vector<SendState> expired;
  for (SendState& state : Sends()) {
    if (state.expiresAt >= now) continue;
    std::erase_if(requests_, [&](const auto& entry) { return entry.second.send == state.send; });
    expired.push_back(std::move(state));
  }
  return expired;
}

bool AcknowledgementLedger::Seal(uint64_t send) {
  open_.erase(send);
  return TakeIfComplete(send);
}

bool AcknowledgementLedger::TakeIfComplete(uint64_t send) {
  // Asked at each acknowledgement: the first one still awaited ends the look.
  bool any = false;
  for (const auto& [id, request] : requests_) {
    if (request.send != send) continue;
    if (!Acknowledged(request)) return false;
    any = true;
  }
  if (!any || open_.count(send) > 0) return false;
  std::erase_if(requests_, [&](const auto& entry) { return entry.second.send == send; });
  return true;
}

std::wstring AcknowledgedLine(std::wstring_view who, std::wstring_view sentTime,
                              std::wstring_view acknowledgedTime) {
  return std::wstring(who) + L" acknowledged your message of " + std::wstring(sentTime) + L" at " +
         std::wstring(acknowledgedTime) + L".";
}

std::wstring OutstandingLine(std::wstring_view sentTime, const std::vector<std::wstring>& who) {
  if (who.empty()) {
    return L"Everyone acknowledged your message of " + std::wstring(sentTime) + L".";
  }
  return L"Your message of " + std::wstring(sentTime) + L" is not acknowledged yet by " +
         NameList(who) + L".";
}

std::wstring ExpiredUnacknowledgedLine(std::wstring_view sentTime,
                                       const std::vector<std::wstring>& who) {
  return L"Your message of " + std::wstring(sentTime) +
         L" expired without an acknowledgement from " + NameList(who) + L".";
}

std::string EncodeAcknowledgementRequest(const AcknowledgementRequest& request) {
  if (!request.digest.empty() && request.digest.size() != kDigestBytes) return {};
  std::string bytes;
  for (uint64_t number : {request.send, request.id, request.sentAt, request.expiresAt}) {
    AppendBigEndian<uint64_t>(bytes, number);
  }
  // A message that could not go has no digest: zeros, which no digest is.
  bytes += request.digest.empty() ? std::string(kDigestBytes, '\0') : request.digest;
  bytes.push_back(request.domain ? '\1' : '\0');
  AppendText(bytes, request.address);
  AppendText(bytes, request.name);
  for (const auto* people : {&request.receivers, &request.acknowledged}) {
    size_t count =
        std::min(people->size(), people == &request.receivers ? AcknowledgementLedger::kMaxPeople
                                                              : kMaxAcknowledged);
    AppendBigEndian<uint16_t>(bytes, static_cast<uint16_t>(count));
    for (const AcknowledgingPerson& person : std::span(*people).first(count)) {
      AppendText(bytes, person.sender);
      AppendText(bytes, person.shown);
    }
  }
  return bytes;
}

std::vector<AcknowledgementRequest> DecodeAcknowledgementRequests(std::string_view bytes) {
  constexpr size_t kFixedBytes = 4 * 8 + kDigestBytes + 1;
  std::vector<AcknowledgementRequest> requests;
  while (bytes.size() >= kFixedBytes) {
    AcknowledgementRequest request;
    uint64_t* numbers[] = {&request.send, &request.id, &request.sentAt, &request.expiresAt};
    for (size_t i = 0; i < 4; ++i) *numbers[i] = ReadBigEndian<uint64_t>(bytes.substr(8 * i));
    request.digest = bytes.substr(32, kDigestBytes);
    if (request.digest == std::string(kDigestBytes, '\0')) request.digest.clear();
    uint8_t domain = static_cast<uint8_t>(bytes[32 + kDigestBytes]);
    std::string_view rest = bytes.substr(kFixedBytes);
    if (domain > 1 || !TakeText(rest, request.address) || !TakeText(rest, request.name) ||
        !TakePeople(rest, AcknowledgementLedger::kMaxPeople, request.receivers) ||
        !TakePeople(rest, kMaxAcknowledged, request.acknowledged)) {
      break;
    }
    request.domain = domain == 1;
    requests.push_back(std::move(request));
    bytes = rest;
  }
  return requests;
}

}  // namespace parvox
