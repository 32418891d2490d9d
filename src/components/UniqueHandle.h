// Move-only owners for platform handles, released by the function that matches their kind.
#pragma once

#include <windows.h>

#include <utility>

namespace parvox {

template <typename Handle, auto Release, Handle kInvalid = Handle{}>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, kInvalid)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.handle_, kInvalid));
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { Reset(); }

  Handle Get() const { return handle_; }
  bool Valid() const { return handle_ != kInvalid; }
  void Reset(Handle handle = kInvalid) {
    if (handle_ != kInvalid) Release(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = kInvalid;
};

inline void CloseFileHandle(HANDLE handle) { CloseHandle(handle); }
inline void CloseRegistryKey(HKEY key) { RegCloseKey(key); }
inline void DestroyIconHandle(HICON icon) { DestroyIcon(icon); }
inline void DeleteGdiObject(HGDIOBJ object) { DeleteObject(object); }

// CreateFile reports failure as INVALID_HANDLE_VALUE, not as a null handle.
struct FileHandle : UniqueHandle<HANDLE, CloseFileHandle, nullptr> {
  explicit FileHandle(HANDLE handle)
      : UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
};
using RegistryKey = UniqueHandle<HKEY, CloseRegistryKey>;
using IconHandle = UniqueHandle<HICON, DestroyIconHandle>;
using FontHandle = UniqueHandle<HFONT, DeleteGdiObject>;

}  // namespace parvox
