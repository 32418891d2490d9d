// Reads settings files whole and replaces them through a flushed temporary file and one rename,
// so a crash at any moment leaves either the old file or the new one.
#include "settings/Win32SettingsFiles.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "components/UniqueHandle.h"

namespace parvox {
namespace {

constexpr DWORD kIoChunk = 1 << 20;
constexpr wchar_t kTemporaryInfix[] = L".~";
constexpr wchar_t kTemporarySuffix[] = L".tmp";
// What a replacement keeps of the file it replaces; read-only files are never replaced.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size(), kIoChunk));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), piece, &written, nullptr) || written != piece) return false;
    bytes.remove_prefix(piece);
  }
  return true;
}

FileStamp StampOf(const WIN32_FILE_ATTRIBUTE_DATA& data) {
  FileStamp stamp;
  stamp.exists = true;
  stamp.size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  stamp.writeTime =
      (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
  return stamp;
}

// The process number in `name` when it is exactly `base` + ".~PID-N.tmp", else 0.
DWORD TemporaryFileOwner(std::wstring_view name, std::wstring_view base) {
  std::wstring_view infix = kTemporaryInfix, suffix = kTemporarySuffix;
  if (name.size() <= base.size() + infix.size() + suffix.size() ||
      CompareStringOrdinal(name.data(), static_cast<int>(base.size()), base.data(),
                           static_cast<int>(base.size()), TRUE) != CSTR_EQUAL ||
      name.substr(base.size(), infix.size()) != infix ||
      name.substr(name.size() - suffix.size()) != suffix) {
    return 0;
  }
  std::wstring_view middle = name.substr(base.size() + infix.size(),
                                         name.size() - base.size() - infix.size() - suffix.size());
  size_t dash = middle.find(L'-');
  auto digits = [](std::wstring_view text) {
    return !text.empty() && text.size() <= 10 &&
           std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
  };
  if (dash == std::wstring_view::npos || !digits(middle.substr(0, dash)) ||
      !digits(middle.substr(dash + 1))) {
    return 0;
  }
  unsigned long long owner = std::stoull(std::wstring(middle.substr(0, dash)));
  return owner <= MAXDWORD ? static_cast<DWORD>(owner) : 0;
}

bool ProcessIsGone(DWORD id) {
  FileHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
  if (!process.Valid()) return GetLastError() == ERROR_INVALID_PARAMETER;
  return WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0;
}

// A writer that died between creating its temporary file and the rename left it behind. Ours
// (this process writes one file at a time) and those of ended processes are removed; a running
// process's may be in the middle of its write.
void RemoveStaleTemporaryFiles(const std::wstring& path) {
  size_t slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos) return;
  std::wstring folder = path.substr(0, slash + 1), base = path.substr(slash + 1);
  WIN32_FIND_DATAW found{};
  HANDLE search =
      FindFirstFileW((path + kTemporaryInfix + L"*" + kTemporarySuffix).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    DWORD owner = TemporaryFileOwner(found.cFileName, base);
    if (owner != 0 && (owner == GetCurrentProcessId() || ProcessIsGone(owner))) {
      DeleteFileW((folder + found.cFileName).c_str());
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

// A new temporary file beside `path`; CREATE_NEW never overwrites a file that is already there.
FileHandle CreateTemporaryBeside(const std::wstring& path, DWORD attributes,
                                 std::wstring& temporaryPath) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporaryPath = path + kTemporaryInfix + std::to_wstring(GetCurrentProcessId()) + L"-" +
                    std::to_wstring(++counter) + kTemporarySuffix;
    FileHandle file(CreateFileW(temporaryPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                attributes, nullptr));
    if (file.Valid() || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return FileHandle(INVALID_HANDLE_VALUE);
}

// Rewrites `path` itself: not atomic, so only for a folder that refuses new files.
bool RewriteInPlace(const std::wstring& path, std::string_view bytes, FileStamp& written) {
  FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return false;
  if (!WriteAll(file.Get(), bytes) || !SetEndOfFile(file.Get()) || !FlushFileBuffers(file.Get())) {
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.Get(), &info)) return false;
  written.exists = true;
  written.size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  written.writeTime =
      (uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) | info.ftLastWriteTime.dwLowDateTime;
  return true;
}

}  // namespace

std::wstring ExtendedLengthPath(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0) return path;
  DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring full(needed, L'\0');
  DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return path;
  full.resize(length);
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

FileStamp Win32SettingsFiles::Stamp(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(ExtendedLengthPath(path).c_str(), GetFileExInfoStandard, &data)) {
    // Only "not there" means missing; any other failure (a share gone, access denied) must not
    // let a write start a fresh file over one that may hold the address book.
    DWORD error = GetLastError();
    FileStamp stamp;
    stamp.unknown = error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    return stamp;
  }
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return {};
  return StampOf(data);
}

bool Win32SettingsFiles::ReadAll(const std::wstring& path, std::string& bytes) {
  FileHandle file(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file.Valid() || !GetFileSizeEx(file.Get(), &size)) return false;
  if (static_cast<uint64_t>(size.QuadPart) > kMaxSettingsFileBytes) {
    SetLastError(ERROR_FILE_TOO_LARGE);
    return false;
  }
  bytes.clear();
  bytes.reserve(static_cast<size_t>(size.QuadPart));
  std::string buffer(kIoChunk, '\0');
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer.data(), kIoChunk, &read, nullptr)) return false;
    if (read == 0) return true;
    // The file may grow while it is read.
    if (bytes.size() + read > kMaxSettingsFileBytes) {
      SetLastError(ERROR_FILE_TOO_LARGE);
      return false;
    }
    bytes.append(buffer.data(), read);
  }
}

bool Win32SettingsFiles::ReplaceAtomically(const std::wstring& path, std::string_view bytes,
                                           FileStamp& written) {
  std::wstring target = ExtendedLengthPath(path);
  // The profile functions never replace a read-only file; neither do we.
  DWORD attributes = GetFileAttributesW(target.c_str());
  bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  RemoveStaleTemporaryFiles(target);
  DWORD kept = exists ? attributes & kKeptAttributes : 0;
  std::wstring temporaryPath;
  FileHandle file =
      CreateTemporaryBeside(target, kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL, temporaryPath);
  if (!file.Valid()) {
    // A per-file permission may allow changing the file in a folder that takes no new files.
    if (exists && GetLastError() == ERROR_ACCESS_DENIED)
      return RewriteInPlace(target, bytes, written);
    return false;
  }
  bool done = WriteAll(file.Get(), bytes) && FlushFileBuffers(file.Get());
  file.Reset();
  // Stamped while the file is ours alone: renaming keeps its size and write time.
  if (done) {
    written = Stamp(temporaryPath);
    done = written.exists;
  }
  if (done && MoveFileExW(temporaryPath.c_str(), target.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  DWORD error = GetLastError();  // the caller may report it; the clean-up must not change it
  DeleteFileW(temporaryPath.c_str());
  SetLastError(error);
  return false;
}

Win32AnsiCodec::Win32AnsiCodec(unsigned codePage) : codePage_(codePage) {}

bool Win32AnsiCodec::Decode(std::string_view bytes, std::wstring& text) const {
  return FromAnsi(bytes, text, codePage_);
}

bool Win32AnsiCodec::Encode(std::wstring_view text, std::string& bytes) const {
  return ToAnsi(text, bytes, codePage_);
}

}  // namespace parvox
