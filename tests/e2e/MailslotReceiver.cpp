// Listens where the built-in sender delivers to this machine, \\.\mailslot\messngr, and keeps
// each datagram it reads, byte for byte, as datagram-0001.bin, ... in the folder named on its
// command line. It writes "ready" there once the slot exists, and stops when "stop" appears.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Written under a temporary name and renamed, so a reader never sees half a file.
bool WriteWhole(const std::string& path, const char* data, DWORD size) {
  std::string partial = path + ".part";
  HANDLE file = CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, data, size, &written, nullptr) && written == size;
  CloseHandle(file);
  return ok && MoveFileA(partial.c_str(), path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: MailslotReceiver FOLDER\n");
    return 2;
  }
  std::string folder = std::string(argv[1]) + "\\";
  // A short read timeout, so the stop file is noticed.
  HANDLE slot = CreateMailslotA("\\\\.\\mailslot\\messngr", 0, 100, nullptr);
  if (slot == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "CreateMailslot failed: %lu\n", GetLastError());
    return 1;
  }
  if (!WriteWhole(folder + "ready", "", 0)) return 1;
  int count = 0;
  std::vector<char> buffer(65536);
  while (!Exists(folder + "stop")) {
    DWORD read = 0;
    if (!ReadFile(slot, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
      if (GetLastError() == ERROR_SEM_TIMEOUT) continue;
      std::fprintf(stderr, "ReadFile failed: %lu\n", GetLastError());
      return 1;
    }
    char name[32];
    std::snprintf(name, sizeof name, "datagram-%04d.bin", ++count);
    if (!WriteWhole(folder + name, buffer.data(), read)) return 1;
  }
  CloseHandle(slot);
  return 0;
}
