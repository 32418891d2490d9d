// Path and command-line rules of start-up.
#include "settings/AppPaths.h"

#include <algorithm>
#include <cwctype>

namespace parvox {

AppPaths BuildAppPaths(const std::wstring& modulePath) {
  size_t slash = modulePath.find_last_of(L"\\/");
  std::wstring folder = slash == std::wstring::npos ? std::wstring() : modulePath.substr(0, slash);
  std::wstring fileName = slash == std::wstring::npos ? modulePath : modulePath.substr(slash + 1);

  if (folder.empty() || folder.back() != L'\\') folder += L'\\';
  size_t dot = fileName.find_last_of(L'.');
  std::wstring baseName = dot == std::wstring::npos ? fileName : fileName.substr(0, dot);

  AppPaths paths;
  paths.appFolder = folder;
  paths.executablePath = folder + baseName + L".exe";
  paths.settingsFilePath = folder + L"Address Book.ini";
  return paths;
}

bool CommandLineAsksToMinimise(const std::wstring& commandLine) {
  static const std::wstring kWord = L"minimize";
  auto same = [](wchar_t a, wchar_t b) { return static_cast<wchar_t>(std::towlower(a)) == b; };
  return std::search(commandLine.begin(), commandLine.end(), kWord.begin(), kWord.end(), same) !=
         commandLine.end();
}

}  // namespace parvox
