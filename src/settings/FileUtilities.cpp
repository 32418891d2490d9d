// File utilities on the Win32 API.
#include "settings/FileUtilities.h"

#include <windows.h>

#include "components/SystemErrorText.h"
#include "components/UniqueHandle.h"
#include "settings/Win32SettingsFiles.h"

namespace parvox {
namespace {

std::wstring LastErrorText() {
  DWORD code = GetLastError();
  std::wstring description = SystemErrorText(code);
  return description.empty() ? L"Error " + std::to_wstring(code) + L"." : description;
}

}  // namespace

std::int32_t MaxOf(std::int32_t a, std::int32_t b) { return a > b ? a : b; }

std::wstring& AddTrailingBackslash(std::wstring& path) {
  if (path.empty() || path.back() != L'\\') path += L'\\';
  return path;
}

bool FileExists(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(ExtendedLengthPath(path).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

void DeleteFileUnlessSmaller(const std::wstring& path, std::int32_t minimumSize) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (minimumSize > 0 && GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
      data.nFileSizeHigh == 0 && data.nFileSizeLow < static_cast<DWORD>(minimumSize)) {
    return;
  }
  DeleteFileW(path.c_str());
}

bool IsDirectoryWritable(std::wstring& folder) {
  AddTrailingBackslash(folder);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::wstring probe = ExtendedLengthPath(folder) + L"parvox-write-test-" +
                         std::to_wstring(GetCurrentProcessId()) + L"-" +
                         std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(attempt) +
                         L".tmp";
    FileHandle file(CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return false;
    }
    static const char kLine[] = "This directory is writable.\r\n";
    DWORD written = 0;
    bool ok = WriteFile(file.Get(), kLine, sizeof kLine - 1, &written, nullptr) &&
              written == sizeof kLine - 1;
    file.Reset();
    DeleteFileW(probe.c_str());
    return ok;
  }
  return false;
}

bool CopyFileAtomically(const std::wstring& from, const std::wstring& to, std::wstring& error) {
  Win32SettingsFiles files;
  std::string bytes;
  FileStamp written;
  if (!files.ReadAll(from, bytes) || !files.ReplaceAtomically(to, bytes, written)) {
    error = LastErrorText();
    return false;
  }
  return true;
}

}  // namespace parvox
