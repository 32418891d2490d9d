// Kills a process that keeps rewriting a settings file at random moments; the file must always
// hold the old book or the new one, whole.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "settings/IniStore.h"
#include "support/MemoryFiles.h"
#include "support/PosixFiles.h"

namespace parvox {
namespace {

IniDocument::KeyValues Book(int entries, const std::wstring& tag) {
  IniDocument::KeyValues book{{L"Total", std::to_wstring(entries)}};
  for (int i = 1; i <= entries; ++i) book.emplace_back(L"Address[" + std::to_wstring(i) + L"]", tag + std::to_wstring(i));
  return book;
}

TEST(AtomicReplace, KilledWriterNeverLeavesATornFile) {
  char folder[] = "/tmp/parvox-atomic-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  std::wstring path = std::wstring(folder, folder + strlen(folder)) + L"/Address Book.ini";
  test::PosixFiles files;
  test::Latin1Codec codec;
  {
    IniStore store(files, codec);
    ASSERT_TRUE(store.ReplaceSection(path, L"Addresses", Book(3000, L"old")));
  }
  std::mt19937 random(12345);
  for (int round = 0; round < 40; ++round) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      IniStore store(files, codec);
      for (int i = 0;; ++i) store.ReplaceSection(path, L"Addresses", Book(i % 2 ? 3000 : 2500, i % 2 ? L"old" : L"new"));
    }
    usleep(std::uniform_int_distribution<useconds_t>(0, 30000)(random));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);

    IniStore reader(files, codec);
    auto section = reader.Document(path).ReadSection(L"Addresses");
    ASSERT_FALSE(section.empty()) << "round " << round;
    int total = std::stoi(section.front().second);
    ASSERT_TRUE(total == 3000 || total == 2500) << "round " << round;
    ASSERT_EQ(section.size(), static_cast<size_t>(total) + 1) << "round " << round;
    ASSERT_EQ(section.back().second, (total == 3000 ? L"old" : L"new") + std::to_wstring(total));
  }
  std::system((std::string("rm -rf ") + folder).c_str());
}

}  // namespace
}  // namespace parvox
