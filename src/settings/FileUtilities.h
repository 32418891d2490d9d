// Small file utilities of the backup and restore commands.
#pragma once

#include <cstdint>
#include <string>

namespace parvox {

std::int32_t MaxOf(std::int32_t a, std::int32_t b);
// Appends "\" unless the path already ends in one; returns the new text too.
std::wstring& AddTrailingBackslash(std::wstring& path);
// True when a file or folder of that name exists.
bool FileExists(const std::wstring& path);
// Deletes the file unless `minimumSize` > 0 and the file is smaller; errors are ignored.
void DeleteFileUnlessSmaller(const std::wstring& path, std::int32_t minimumSize);
// True when a new file can be created in the folder. The probe file has a name of its own that
// cannot already exist, so no file of the user's is ever touched.
bool IsDirectoryWritable(std::wstring& folder);
// Copies `from` over `to` in one atomic replace; on failure `to` is untouched and `error`
// holds the platform's description.
bool CopyFileAtomically(const std::wstring& from, const std::wstring& to, std::wstring& error);

}  // namespace parvox
