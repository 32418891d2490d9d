// The broker relay's server setting: scheme, host and port, and the reason when it is refused.
#include "relay/RelayServerAddress.h"

#include "network/NetworkAddress.h"

namespace parvox {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
bool IsAsciiDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; }

bool StartsWithIgnoringCase(std::wstring_view text, std::wstring_view lowerPrefix) {
  if (text.size() < lowerPrefix.size()) return false;
  for (size_t i = 0; i < lowerPrefix.size(); ++i) {
    if (AsciiLower(text[i]) != lowerPrefix[i]) return false;
  }
  return true;
}

// Dot-separated labels of 1 to 63 letters, digits and inner hyphens. A name whose last label is
// all digits is refused: resolvers read "127.1" or "10.1" as an address, which would slip past
// the check that plain mqtt:// goes only to this computer.
bool IsHostName(std::wstring_view host) {
  if (host.empty() || host.size() > 253) return false;
  size_t labelStart = 0;
  bool lastLabelHasLetter = false;
  for (size_t i = 0; i <= host.size(); ++i) {
    if (i == host.size() || host[i] == L'.') {
      std::wstring_view label = host.substr(labelStart, i - labelStart);
      if (label.empty() || label.size() > 63 || label.front() == L'-' || label.back() == L'-') {
        return false;
      }
      labelStart = i + 1;
      if (i < host.size()) lastLabelHasLetter = false;
    } else if (IsAsciiLetter(host[i]) || host[i] == L'-') {
      lastLabelHasLetter = true;
    } else if (!IsAsciiDigit(host[i])) {
      return false;
    }
  }
  return lastLabelHasLetter;
}

RelayServerSetting Refuse(RelayServerError error) { return {std::nullopt, error}; }

}  // namespace

RelayServerSetting ParseRelayServer(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (text.empty()) return {};

  RelayServer server;
  if (StartsWithIgnoringCase(text, L"mqtts://")) {
    server = {L"", 8883, true};
    text.remove_prefix(8);
  } else if (StartsWithIgnoringCase(text, L"mqtt://")) {
    server = {L"", 1883, false};
    text.remove_prefix(7);
  } else {
    return Refuse(RelayServerError::kScheme);
  }
  // Checked on the whole text: a password holding '/' or '#' would otherwise pass for a path.
  if (text.find(L'@') != std::wstring_view::npos) return Refuse(RelayServerError::kUserInfo);
  size_t authorityEnd = text.find_first_of(L"/?#");
  std::wstring_view authority = text.substr(0, authorityEnd);
  if (authorityEnd != std::wstring_view::npos && text.substr(authorityEnd) != L"/") {
    return Refuse(RelayServerError::kPathQueryFragment);
  }

  std::wstring_view host = authority;
  std::optional<std::wstring_view> port;
  std::optional<IpAddress> literal;
  if (!authority.empty() && authority.front() == L'[') {
    size_t close = authority.find(L']');
    if (close == std::wstring_view::npos) return Refuse(RelayServerError::kHost);
    host = authority.substr(1, close - 1);
    std::wstring_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != L':') return Refuse(RelayServerError::kHost);
      port = after.substr(1);
    }
    literal = ParseIpLiteral(host);
    if (!literal || literal->family != IpAddress::Family::kV6) {
      return Refuse(RelayServerError::kHost);
    }
  } else {
    size_t colon = authority.find(L':');
    if (colon != std::wstring_view::npos) {
      if (authority.find(L':', colon + 1) != std::wstring_view::npos) {
        return Refuse(RelayServerError::kIpv6WithoutBrackets);
      }
      host = authority.substr(0, colon);
      port = authority.substr(colon + 1);
    }
    literal = ParseIpLiteral(host);
    if (!literal && !IsHostName(host)) return Refuse(RelayServerError::kHost);
  }
  if (port) {
    std::optional<uint16_t> number = ParsePort(*port);
    if (!number) return Refuse(RelayServerError::kPort);
    server.port = *number;
  }
  bool thisComputer = literal ? IsLoopback(*literal)
                              : host.size() == 9 && StartsWithIgnoringCase(host, L"localhost");
  if (!server.tls && !thisComputer) return Refuse(RelayServerError::kPlainNotLocal);
  server.host = host;
  return {std::move(server), std::nullopt};
}

std::wstring RelayServerErrorText(RelayServerError error) {
  switch (error) {
    case RelayServerError::kScheme:
      return L"The relay server must start with mqtts://, as in mqtts://relay.example.com.";
    case RelayServerError::kUserInfo:
      return L"The relay server may not hold a user name or password.";
    case RelayServerError::kPathQueryFragment:
      return L"The relay server may not have a path, query or fragment after its host and port.";
    case RelayServerError::kHost:
      return L"The relay server's host must be a name of letters, digits, '-' and '.' (at most "
             L"253 characters), an IPv4 address or an IPv6 address in brackets.";
    case RelayServerError::kIpv6WithoutBrackets:
      return L"An IPv6 address must be written in brackets, as in mqtts://[2001:db8::1]:8883.";
    case RelayServerError::kPort:
      return L"The relay server's port must be a number from 1 to 65535.";
    case RelayServerError::kPlainNotLocal:
      return L"Plain mqtt:// is allowed only for this computer (localhost); use mqtts://.";
  }
  return {};
}

}  // namespace parvox
