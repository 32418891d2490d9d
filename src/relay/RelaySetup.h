// Which relay this user's Parvox uses and as whom: `Relay Server` and `Relay User` from the
// settings file, the broker password kept for this Windows user alone, the client id and the
// topics.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "relay/RelayClient.h"

namespace parvox {

// Where the broker password is kept, protected for this Windows user (never in the settings
// file, never in the log).
inline constexpr wchar_t kRelayPasswordValue[] = L"Relay Password";

// The relay of the settings file; none when `Relay Server` is blank, and none with one log line
// when it is not a server Parvox may use.
std::optional<RelayServer> ConfiguredRelayServer();

// The window's relay: this user's session on this computer, kept by the broker for a week while
// Parvox is away, subscribed to `topicFilters`.
std::unique_ptr<RelayClient> OpenRelay(const RelayServer& server,
                                       std::vector<std::string> topicFilters,
                                       RelayClient::MessageHandler onMessage);
// A script's relay: a session of its own, forgotten when it ends, subscribed to this user's topic
// only, where the receipts come.
std::unique_ptr<RelayClient> OpenSendRelay(const RelayServer& server,
                                           RelayClient::MessageHandler onMessage);

// Names as the topics spell them: folded, UTF-8.
std::string RelayName(const std::wstring& name);

}  // namespace parvox
