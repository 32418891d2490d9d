// Move-only owners for platform handles, released by the function that matches their kind.
#pragma once

#include <windows.h>

// The image-list functions build on windows.h.
#include <commctrl.h>

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
inline void DestroyImageListHandle(HIMAGELIST images) { ImageList_Destroy(images); }
inline void DestroyMenuHandle(HMENU menu) { DestroyMenu(menu); }
inline void DeleteDCHandle(HDC dc) { DeleteDC(dc); }

// CreateFile reports failure as INVALID_HANDLE_VALUE, not as a null handle.
struct FileHandle : UniqueHandle<HANDLE, CloseFileHandle, nullptr> {
  explicit FileHandle(HANDLE handle)
      : UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
};
// Events and other kernel objects that report failure as a null handle.
using EventHandle = UniqueHandle<HANDLE, CloseFileHandle>;
using MutexHandle = UniqueHandle<HANDLE, CloseFileHandle>;
using RegistryKey = UniqueHandle<HKEY, CloseRegistryKey>;
using IconHandle = UniqueHandle<HICON, DestroyIconHandle>;

// An icon of the program's resources, at the size asked for.
inline IconHandle LoadIconResource(int id, int pixels) {
  return IconHandle(static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, pixels, pixels, 0)));
}
using FontHandle = UniqueHandle<HFONT, DeleteGdiObject>;
using BitmapHandle = UniqueHandle<HBITMAP, DeleteGdiObject>;
using GdiObject = UniqueHandle<HGDIOBJ, DeleteGdiObject>;
// A memory device context (CreateCompatibleDC).
using MemoryDC = UniqueHandle<HDC, DeleteDCHandle>;
using ImageListHandle = UniqueHandle<HIMAGELIST, DestroyImageListHandle>;
// A menu destroys its submenus with it.
using MenuHandle = UniqueHandle<HMENU, DestroyMenuHandle>;

// Selects an object into a device context for the scope and puts back what was there.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;
  ~ScopedSelectObject() { SelectObject(dc_, previous_); }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// A window's device context for the scope.
class WindowDC {
 public:
  explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  ~WindowDC() { ReleaseDC(window_, dc_); }
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

}  // namespace parvox
