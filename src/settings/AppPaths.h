// The program's folder, its executable path and its settings file, from the module's path.
#pragma once

#include <string>

namespace parvox {

struct AppPaths {
  std::wstring appFolder;         // ends in exactly one backslash
  std::wstring executablePath;    // folder + base name + ".exe", whatever the real extension
  std::wstring settingsFilePath;  // appFolder + "Address Book.ini"
};

AppPaths BuildAppPaths(const std::wstring& modulePath);

// True when "MINIMIZE" appears anywhere in the command line, in any letter case.
bool CommandLineAsksToMinimise(const std::wstring& commandLine);

}  // namespace parvox
