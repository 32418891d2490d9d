// The broker topics a message goes to and a Parvox listens on, named after users, computers and
// domains as the address book names them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parvox {

enum class RelayTopicKind { kUser, kComputer, kDomain };

inline constexpr std::string_view kEveryoneTopic = "parvox/everyone";
// Longer names get no topic; escaped, the longest fits an MQTT topic many times over.
inline constexpr size_t kMaxRelayTopicNameBytes = 1024;

// `parvox/user/NAME`, `parvox/computer/NAME` or `parvox/domain/NAME`, and kEveryoneTopic for
// "*" whatever the kind. `foldedName` is UTF-8 as the caller folded it for comparing names; what
// MQTT reserves or a broker may refuse in a topic (%, /, +, #, control characters, noncharacters)
// is written %XX per byte, so distinct names keep distinct topics. No topic for an empty name,
// one over kMaxRelayTopicNameBytes or one that is not UTF-8.
std::optional<std::string> RelayTopic(RelayTopicKind kind, std::string_view foldedName);

// What a Parvox subscribes to: its user's, its computer's and its domain's topics (those that
// exist), then kEveryoneTopic.
std::vector<std::string> TopicFiltersFor(std::string_view foldedUser,
                                         std::string_view foldedComputer,
                                         std::string_view foldedDomain);

}  // namespace parvox
