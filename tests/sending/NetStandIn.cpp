// Test stand-in for the NET command: records its whole command line, byte for byte, in a file
// named by its creation time, in the folder that PARVOX_NET_RECORD_DIR names.
#include <windows.h>

#include <cstdio>
#include <string>

int main() {
  char folder[MAX_PATH];
  DWORD length = GetEnvironmentVariableA("PARVOX_NET_RECORD_DIR", folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  unsigned long long stamp = (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
  char name[64];
  std::snprintf(name, sizeof name, "\\%020llu-%08lu.txt", stamp, GetCurrentProcessId());
  // Written under a temporary name and renamed, so a reader never sees half a record.
  std::string path = std::string(folder) + name;
  std::string partial = path + ".part";
  std::FILE* out = std::fopen(partial.c_str(), "wb");
  if (out == nullptr) return 1;
  const char* commandLine = GetCommandLineA();
  std::fwrite(commandLine, 1, std::char_traits<char>::length(commandLine), out);
  std::fclose(out);
  return MoveFileA(partial.c_str(), path.c_str()) ? 0 : 1;
}
