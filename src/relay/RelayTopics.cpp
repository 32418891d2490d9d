// Relay topic names: a fixed prefix per kind of recipient and the recipient's name, escaped.
#include "relay/RelayTopics.h"

#include <cstdint>
#include <utility>

#include "components/Utf8Text.h"

namespace parvox {
namespace {

void AppendEscaped(std::string& topic, std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char c : bytes) {
    auto byte = static_cast<uint8_t>(c);
    topic += '%';
    topic += kHex[byte >> 4];
    topic += kHex[byte & 0x0F];
  }
}

// Length of the UTF-8 sequence that starts with `lead` (the text is known to be well formed).
size_t SequenceLength(uint8_t lead) {
  return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

uint32_t CodePoint(std::string_view sequence) {
  auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(sequence[i])); };
  switch (sequence.size()) {
    case 1:
      return byte(0);
    case 2:
      return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
    case 3:
      return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
    default:
      return (byte(0) & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 |
             (byte(3) & 0x3F);
  }
}

// MQTT reserves the separator and the wildcards; a broker may close the connection over control
// characters and noncharacters in a topic, so those are escaped as well.
bool NeedsEscape(uint32_t codePoint) {
  return codePoint == '%' || codePoint == '/' || codePoint == '+' || codePoint == '#' ||
         codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F) ||
         (codePoint >= 0xFDD0 && codePoint <= 0xFDEF) || (codePoint & 0xFFFE) == 0xFFFE;
}

std::string_view Prefix(RelayTopicKind kind) {
  switch (kind) {
    case RelayTopicKind::kUser:
      return "parvox/user/";
    case RelayTopicKind::kComputer:
      return "parvox/computer/";
    case RelayTopicKind::kDomain:
      return "parvox/domain/";
  }
  return {};
}

}  // namespace

std::optional<std::string> RelayTopic(RelayTopicKind kind, std::string_view foldedName) {
  if (foldedName.empty() || foldedName.size() > kMaxRelayTopicNameBytes || !IsUtf8(foldedName)) {
    return std::nullopt;
  }
  if (foldedName == "*") return std::string(kEveryoneTopic);
  std::string topic(Prefix(kind));
  for (size_t i = 0; i < foldedName.size();) {
    std::string_view sequence =
        foldedName.substr(i, SequenceLength(static_cast<uint8_t>(foldedName[i])));
    if (NeedsEscape(CodePoint(sequence))) {
      AppendEscaped(topic, sequence);
    } else {
      topic += sequence;
    }
    i += sequence.size();
  }
  return topic;
}

std::vector<std::string> TopicFiltersFor(std::string_view foldedUser,
                                         std::string_view foldedComputer,
                                         std::string_view foldedDomain) {
  std::vector<std::string> filters;
  for (auto [kind, name] : {std::pair{RelayTopicKind::kUser, foldedUser},
                            std::pair{RelayTopicKind::kComputer, foldedComputer},
                            std::pair{RelayTopicKind::kDomain, foldedDomain}}) {
    std::optional<std::string> topic = RelayTopic(kind, name);
    if (topic && *topic != kEveryoneTopic) filters.push_back(std::move(*topic));
  }
  filters.emplace_back(kEveryoneTopic);
  return filters;
}

}  // namespace parvox
