// Reads settings files whole and replaces them through a flushed temporary file and one rename,
// so a crash at any moment leaves either the old file or the new one.
#include "settings/Win32SettingsFiles.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "components/UniqueHandle.h"
#include "settings/AnsiText.h"

namespace parvox {
namespace {

constexpr DWORD kIoChunk = 1 << 20;

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size(), kIoChunk));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), piece, &written, nullptr) || written != piece) return false;
    bytes.remove_prefix(piece);
  }
  return true;
}

// A new temporary file beside `path`; CREATE_NEW never overwrites a file that is already there.
FileHandle CreateTemporaryBeside(const std::wstring& path, std::wstring& temporaryPath) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporaryPath = path + L".~" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                    std::to_wstring(++counter) + L".tmp";
    FileHandle file(CreateFileW(temporaryPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Valid() || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return FileHandle(INVALID_HANDLE_VALUE);
}

}  // namespace

FileStamp Win32SettingsFiles::Stamp(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
    // Only "not there" means missing; any other failure (a share gone, access denied) must not
    // let a write start a fresh file over one that may hold the address book.
    DWORD error = GetLastError();
    FileStamp stamp;
    stamp.unknown = error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    return stamp;
  }
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return {};
  FileStamp stamp;
  stamp.exists = true;
  stamp.size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  stamp.writeTime =
      (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
  return stamp;
}

bool Win32SettingsFiles::ReadAll(const std::wstring& path, std::string& bytes) {
  FileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file.Valid() || !GetFileSizeEx(file.Get(), &size)) return false;
  bytes.clear();
  bytes.reserve(static_cast<size_t>(size.QuadPart));
  std::string buffer(kIoChunk, '\0');
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer.data(), kIoChunk, &read, nullptr)) return false;
    if (read == 0) return true;
    bytes.append(buffer.data(), read);
  }
}

bool Win32SettingsFiles::ReplaceAtomically(const std::wstring& path, std::string_view bytes) {
  // The profile functions never replace a read-only file; neither do we.
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  std::wstring temporaryPath;
  FileHandle file = CreateTemporaryBeside(path, temporaryPath);
  if (!file.Valid()) return false;
  bool written = WriteAll(file.Get(), bytes) && FlushFileBuffers(file.Get());
  file.Reset();
  if (written && MoveFileExW(temporaryPath.c_str(), path.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  DWORD error = GetLastError();  // the caller may report it; the clean-up must not change it
  DeleteFileW(temporaryPath.c_str());
  SetLastError(error);
  return false;
}

std::wstring Win32AnsiCodec::Decode(std::string_view bytes) const { return FromAnsi(bytes); }
std::string Win32AnsiCodec::Encode(std::wstring_view text) const { return ToAnsi(text); }

}  // namespace parvox
