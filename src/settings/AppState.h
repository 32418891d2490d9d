// Process-wide state: the file paths and the option flags, and the one table of the keys of
// the settings file's "Settings" section that start-up, the settings dialog and shutdown use.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "network/NetworkAddress.h"

namespace parvox {

struct AppState {
  std::wstring appFolder;
  std::wstring settingsFilePath;
  std::wstring executablePath;
  bool startWithWindows = false;
  bool startMinimised = false;
  bool escapeMinimises = true;
  bool internalSend = false;
  bool receiveMessages = true;
  // False when the settings file could not be read at start-up: the flags above are then the
  // defaults, and saving them would replace what the file holds.
  bool settingsRead = true;
  uint16_t networkPort = 42165;  // the UDP port Parvox programs talk on
  // `Trusted Networks`: whose computers count as neighbours besides this computer's subnets.
  std::vector<InterfaceAddress> trustedNetworks;
  // `Relay Server` and `Relay User` as written (the relay reads them); empty: none, and the
  // Windows user name.
  std::wstring relayServer, relayUser;
  // Entries of `Trusted Networks` that are not networks, for the one line that names them.
  std::vector<std::wstring> badTrustedNetworks;
};

AppState& App();

inline constexpr wchar_t kSettingsSection[] = L"Settings";
// The keys an administrator hands out for other senders (see identity/KnownSenderStore.h).
inline constexpr wchar_t kKnownSendersSection[] = L"Known Senders";

enum class SettingId {
  kStartWithWindows,
  kStartMinimised,
  kEscapeMinimises,
  kInternalSend,
  kReceiveMessages,
  kNetworkPort,
  kAddressColumnWidth,
  kDescriptionColumnWidth,
  kLastSelected,
  kTrustedNetworks,
  kRelayServer,
  kRelayUser,
};

struct SettingKey {
  SettingId id;
  const wchar_t* name;
  const wchar_t* defaultText;  // read when the key is missing
  // For the option flags: the flag the key sets and how its text becomes true or false.
  bool AppState::*flag;
  bool (*parseFlag)(const std::wstring& text);
};

const SettingKey& Setting(SettingId id);
// The five option flags.
std::span<const SettingKey> OptionSettings();

std::wstring ReadSetting(SettingId id);
// A file that cannot be written keeps its old contents, as with WriteIniValue.
void WriteSetting(SettingId id, const std::wstring& text);

// Builds the paths from the executable's full path and reads the option flags, the port and the
// trusted networks.
void LoadSettings(const std::wstring& modulePath);

}  // namespace parvox
