// Start-up settings: where the files are and which options are on.
#include "app/AppState.h"

#include <windows.h>

#include "app/AppPaths.h"
#include "network/NetworkAddress.h"
#include "network/NetworkDatagram.h"
#include "settings/NumericText.h"
#include "settings/SettingsFile.h"

namespace parvox {

AppState& App() {
  static AppState state;
  return state;
}

void LoadSettings(const std::wstring& modulePath) {
  AppState& app = App();
  AppPaths paths = BuildAppPaths(modulePath);
  app.appFolder = paths.appFolder;
  app.executablePath = paths.executablePath;
  app.settingsFilePath = paths.settingsFilePath;

  auto read = [&](const wchar_t* key, const wchar_t* defaultText) {
    return ReadIniValue(kSettingsSection, key, defaultText, app.settingsFilePath);
  };
  app.startWithWindows = BooleanText(read(L"Start With Windows", L"0"));
  app.startMinimised = LeadingNumberFlag(read(L"Start Minimised", L"0"));
  app.escapeMinimises = LeadingNumberFlag(read(L"Escape Minimises", L"1"));
  app.internalSend = LeadingNumberFlag(read(L"Internal Send", L"0"));
  // Asked after the reads, so that both describe the same attempt.
  app.settingsRead = IniFileReadable(app.settingsFilePath);
  app.receiveMessages = LeadingNumberFlag(read(L"Receive Messages", L"1"));
  app.networkPort = ParsePort(read(kNetworkPortKey, L"")).value_or(kDefaultNetworkPort);

  app.editIsNewEntry = false;
  app.editAddress.clear();
  app.editDescription.clear();
}

std::wstring CurrentModulePath() {
  // Long paths: grow the buffer until the whole path fits.
  std::wstring modulePath(MAX_PATH, L'\0');
  for (;;) {
    DWORD length =
        GetModuleFileNameW(nullptr, modulePath.data(), static_cast<DWORD>(modulePath.size()));
    if (length < modulePath.size()) {
      modulePath.resize(length);
      break;
    }
    modulePath.resize(modulePath.size() * 2);
  }
  return modulePath;
}

}  // namespace parvox
