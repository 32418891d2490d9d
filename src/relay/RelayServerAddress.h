// The broker relay's server as the settings file names it (`Relay Server=mqtts://host:port`),
// checked before anything connects to it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace parvox {

struct RelayServer {
  std::wstring host;  // a host name or an IP address, IPv6 without its brackets
  uint16_t port = 0;
  bool tls = true;
  bool operator==(const RelayServer&) const = default;
};

enum class RelayServerError {
  kScheme,
  kUserInfo,
  kPathQueryFragment,
  kHost,
  kIpv6WithoutBrackets,
  kPort,
  kPlainNotLocal,
};

// Neither a server nor an error: the setting is blank, so there is no relay.
struct RelayServerSetting {
  std::optional<RelayServer> server;
  std::optional<RelayServerError> error;
};

// `mqtts://` (port 8883 unless given) or, for this computer only, `mqtt://` (port 1883); the
// scheme in any letter case, blanks around the value ignored. The host is a name of ASCII
// letters, digits, '-' and '.' (at most 253 characters), an IPv4 address or a bracketed IPv6
// address; nothing may follow but ":port" and one "/".
RelayServerSetting ParseRelayServer(std::wstring_view text);

// A short English sentence for the log on why the setting is not used.
std::wstring RelayServerErrorText(RelayServerError error);

}  // namespace parvox
