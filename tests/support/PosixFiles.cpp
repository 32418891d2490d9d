// Temporary file, fsync, rename: the POSIX form of an atomic replace.
#include "support/PosixFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace parvox::test {

std::string Narrow(const std::wstring& path) { return std::string(path.begin(), path.end()); }

FileStamp PosixFiles::Stamp(const std::wstring& path) {
  struct stat info {};
  if (stat(Narrow(path).c_str(), &info) != 0) return {};
  return {true, static_cast<uint64_t>(info.st_size),
          static_cast<uint64_t>(info.st_mtim.tv_sec) * 1000000000u +
              static_cast<uint64_t>(info.st_mtim.tv_nsec)};
}

bool PosixFiles::ReadAll(const std::wstring& path, std::string& bytes) {
  std::ifstream in(Narrow(path), std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  bytes = content.str();
  return true;
}

bool PosixFiles::ReplaceAtomically(const std::wstring& path, std::string_view bytes,
                                   FileStamp& written) {
  std::string target = Narrow(path);
  std::string temporary = target + ".~" + std::to_string(getpid()) + ".tmp";
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < bytes.size();) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  ok = ok && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok) {
    written = Stamp(std::wstring(temporary.begin(), temporary.end()));
    ok = written.exists;
  }
  if (ok && rename(temporary.c_str(), target.c_str()) == 0) return true;
  unlink(temporary.c_str());
  return false;
}

}  // namespace parvox::test
