// The relay's settings, credentials and session for the window and for a script's send.
#include "relay/RelaySetup.h"

#include "components/AnsiText.h"
#include "identity/KnownSenderStore.h"
#include "identity/ThisComputer.h"
#include "identity/UserSecret.h"
#include "log/Log.h"
#include "network/MessageIds.h"
#include "relay/RelayTopics.h"
#include "settings/AppState.h"

namespace parvox {
namespace {

RelaySessionConfig SessionAs(std::string clientId, std::vector<std::string> topicFilters) {
  RelaySessionConfig config;
  config.clientId = std::move(clientId);
  // The broker account: as set, else the Windows user name as this user's topic spells it, so
  // that one access rule can give every account its own topic.
  config.userName =
      App().relayUser.empty() ? RelayName(GetCurrentUserName()) : ToUtf8(App().relayUser);
  config.password = ReadUserSecret(kRelayPasswordValue);
  config.topicFilters = std::move(topicFilters);
  return config;
}

}  // namespace

std::string RelayName(const std::wstring& name) { return ToUtf8(FoldedName(name)); }

std::optional<RelayServer> ConfiguredRelayServer() {
  RelayServerSetting setting = ParseRelayServer(App().relayServer);
  if (setting.error) {
    AppendLog(false, L"The relay server \"" + App().relayServer.substr(0, 300) +
                         L"\" in the settings file is not used: " +
                         RelayServerErrorText(*setting.error));
  }
  return setting.server;
}

std::unique_ptr<RelayClient> OpenRelay(const RelayServer& server,
                                       std::vector<std::string> topicFilters,
                                       RelayClient::MessageHandler onMessage) {
  // One session per user and computer: on a terminal server every user has their own.
  std::string user = RelayName(GetCurrentUserName()), computer = RelayName(GetThisComputerName());
  auto segment = [](RelayTopicKind kind, const std::string& name) {
    std::string topic = RelayTopic(kind, name).value_or("");
    return topic.substr(topic.rfind('/') + 1);
  };
  RelaySessionConfig config = SessionAs("parvox:" + segment(RelayTopicKind::kUser, user) + "@" +
                                            segment(RelayTopicKind::kComputer, computer),
                                        std::move(topicFilters));
  auto relay = std::make_unique<RelayClient>(server, std::move(config), std::move(onMessage));
  if (!relay->Start()) return nullptr;
  return relay;
}

std::unique_ptr<RelayClient> OpenSendRelay(const RelayServer& server,
                                           RelayClient::MessageHandler onMessage) {
  std::optional<std::string> ownTopic =
      RelayTopic(RelayTopicKind::kUser, RelayName(GetCurrentUserName()));
  std::vector<std::string> filters;
  if (ownTopic) filters.push_back(*ownTopic);
  RelaySessionConfig config =
      SessionAs("parvox-send:" + std::to_string(NewMessageId()), std::move(filters));
  config.sessionExpirySeconds = 0;
  auto relay = std::make_unique<RelayClient>(server, std::move(config), std::move(onMessage));
  if (!relay->Start()) return nullptr;
  return relay;
}

}  // namespace parvox
