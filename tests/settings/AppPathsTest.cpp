// Where the program looks for its settings, and the start-hidden word.
#include <gtest/gtest.h>

#include "components/Version.h"
#include "settings/AppPaths.h"

namespace parvox {
namespace {

TEST(AppPaths, FolderExecutableAndSettingsFile) {
  struct Case {
    std::wstring module, folder, executable, settings;
  } cases[] = {
      {L"C:\\parvox.exe", L"C:\\", L"C:\\parvox.exe", L"C:\\Address Book.ini"},
      {L"\\\\srv\\tools\\app\\parvox.exe", L"\\\\srv\\tools\\app\\",
       L"\\\\srv\\tools\\app\\parvox.exe", L"\\\\srv\\tools\\app\\Address Book.ini"},
      {L"C:\\Program Files\\Parvox\\parvox.EXE", L"C:\\Program Files\\Parvox\\",
       L"C:\\Program Files\\Parvox\\parvox.exe", L"C:\\Program Files\\Parvox\\Address Book.ini"},
      {L"D:\\tools\\renamed.bin", L"D:\\tools\\", L"D:\\tools\\renamed.exe",
       L"D:\\tools\\Address Book.ini"},
      {L"D:\\my.tools\\noext", L"D:\\my.tools\\", L"D:\\my.tools\\noext.exe",
       L"D:\\my.tools\\Address Book.ini"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.module.begin(), c.module.end()));
    AppPaths paths = BuildAppPaths(c.module);
    EXPECT_EQ(paths.appFolder, c.folder);
    EXPECT_EQ(paths.executablePath, c.executable);
    EXPECT_EQ(paths.settingsFilePath, c.settings);
  }
}

TEST(AppPaths, MinimiseWordAnywhereInAnyCase) {
  for (const wchar_t* line :
       {L"MINIMIZE", L"/MiniMize", L"-Minimized", L"x minimize y", L"\"MINIMIZE\""}) {
    EXPECT_TRUE(CommandLineAsksToMinimise(line)) << std::wstring(line).size();
  }
  for (const wchar_t* line : {L"", L"MINIMISE", L"/min", L"minimiz"}) {
    EXPECT_FALSE(CommandLineAsksToMinimise(line)) << std::wstring(line).size();
  }
}

// The build passes the version from project(): the program's own numbers must agree with it.
TEST(Version, TitleTexts) {
  EXPECT_EQ(VersionText(), L"v" PARVOX_TEST_VERSION);
  EXPECT_EQ(AppTitle(), L"Parvox v" PARVOX_TEST_VERSION);
}

}  // namespace
}  // namespace parvox
