// Start-up settings: where the files are, which options are on, and the keys they live under.
#include "settings/AppState.h"

#include <array>

#include "components/NumericText.h"
#include "network/NetworkAddress.h"
#include "network/NetworkDatagram.h"
#include "network/TrustedNetworks.h"
#include "settings/AppPaths.h"
#include "settings/SettingsFile.h"

namespace parvox {
namespace {

// "Start With Windows" has always been read as a word ("True") or a number, the other flags
// only by their leading number.
constexpr std::array kSettings = {
    SettingKey{SettingId::kStartWithWindows, L"Start With Windows", L"0",
               &AppState::startWithWindows, BooleanText},
    SettingKey{SettingId::kStartMinimised, L"Start Minimised", L"0", &AppState::startMinimised,
               LeadingNumberFlag},
    SettingKey{SettingId::kEscapeMinimises, L"Escape Minimises", L"1", &AppState::escapeMinimises,
               LeadingNumberFlag},
    SettingKey{SettingId::kInternalSend, L"Internal Send", L"0", &AppState::internalSend,
               LeadingNumberFlag},
    SettingKey{SettingId::kReceiveMessages, L"Receive Messages", L"1", &AppState::receiveMessages,
               LeadingNumberFlag},
    SettingKey{SettingId::kNetworkPort, kNetworkPortKey, L"", nullptr, nullptr},
    SettingKey{SettingId::kAddressColumnWidth, L"Address Column Width", L"", nullptr, nullptr},
    SettingKey{SettingId::kDescriptionColumnWidth, L"Description Column Width", L"", nullptr,
               nullptr},
    SettingKey{SettingId::kLastSelected, L"Last Selected", L"", nullptr, nullptr},
    SettingKey{SettingId::kTrustedNetworks, L"Trusted Networks", L"", nullptr, nullptr},
    SettingKey{SettingId::kRelayServer, L"Relay Server", L"", nullptr, nullptr},
    SettingKey{SettingId::kRelayUser, L"Relay User", L"", nullptr, nullptr},
};
constexpr size_t kOptionCount = 5;
// Setting() finds a key by its place in the table.
static_assert([] {
  for (size_t i = 0; i < kSettings.size(); ++i) {
    if (kSettings[i].id != static_cast<SettingId>(i)) return false;
  }
  return true;
}());

}  // namespace

AppState& App() {
  static AppState state;
  return state;
}

const SettingKey& Setting(SettingId id) { return kSettings[static_cast<size_t>(id)]; }

std::span<const SettingKey> OptionSettings() { return std::span(kSettings).first(kOptionCount); }

std::wstring ReadSetting(SettingId id) {
  const SettingKey& key = Setting(id);
  return ReadIniValue(kSettingsSection, key.name, key.defaultText, App().settingsFilePath);
}

void WriteSetting(SettingId id, const std::wstring& text) {
  WriteIniValue(kSettingsSection, Setting(id).name, text, App().settingsFilePath);
}

void LoadSettings(const std::wstring& modulePath) {
  AppState& app = App();
  AppPaths paths = BuildAppPaths(modulePath);
  app.appFolder = paths.appFolder;
  app.executablePath = paths.executablePath;
  app.settingsFilePath = paths.settingsFilePath;
  for (const SettingKey& option : OptionSettings())
    app.*option.flag = option.parseFlag(ReadSetting(option.id));
  app.networkPort = ParsePort(ReadSetting(SettingId::kNetworkPort)).value_or(kDefaultNetworkPort);
  TrustedNetworkList trusted = ParseTrustedNetworks(ReadSetting(SettingId::kTrustedNetworks));
  app.trustedNetworks = std::move(trusted.networks);
  app.badTrustedNetworks = std::move(trusted.badEntries);
  app.relayServer = ReadSetting(SettingId::kRelayServer);
  app.relayUser = ReadSetting(SettingId::kRelayUser);
  // Asked after the reads, so that both describe the same attempt.
  app.settingsRead = IniFileReadable(app.settingsFilePath);
}

}  // namespace parvox
