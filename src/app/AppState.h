// Process-wide state: the file paths, the five option flags and the entry-editor hand-over.
#pragma once

#include <cstdint>
#include <string>

namespace parvox {

struct AppState {
  std::wstring appFolder;
  std::wstring settingsFilePath;
  std::wstring executablePath;
  bool startWithWindows = false;
  bool startMinimised = false;
  bool escapeMinimises = true;
  bool internalSend = false;
  // False when the settings file could not be read at start-up: the flags above are then the
  // defaults, and saving them would replace what the file holds.
  bool settingsRead = true;
  bool receiveMessages = true;
  uint16_t networkPort = 42165;  // the UDP port Parvox programs talk on
  bool editIsNewEntry = false;
  std::wstring editAddress;
  std::wstring editDescription;
};

AppState& App();

inline constexpr wchar_t kSettingsSection[] = L"Settings";

// Builds the paths from the executable's full path and reads the five flags.
void LoadSettings(const std::wstring& modulePath);
// The full path of the running executable.
std::wstring CurrentModulePath();

}  // namespace parvox
