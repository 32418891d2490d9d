// Folder browser with the new dialog style; the callback selects the start folder. Wide
// throughout, so folders whose names the ANSI code page cannot spell work too.
#include "settings/FolderBrowser.h"

#include <shlobj.h>

namespace parvox {
namespace {

std::wstring& StartFolder() {
  static std::wstring folder;
  return folder;
}

int CALLBACK BrowseCallbackProc(HWND window, UINT message, LPARAM, LPARAM) {
  if (message != BFFM_INITIALIZED) return 0;
  MSG pending;
  while (PeekMessageW(&pending, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&pending);
    DispatchMessageW(&pending);
  }
  if (!StartFolder().empty() && window != nullptr) {
    SendMessageW(window, BFFM_SETSELECTIONW, 1, reinterpret_cast<LPARAM>(StartFolder().c_str()));
  }
  return 0;
}

FolderBrowserHandler& CurrentFolderBrowser() {
  static FolderBrowserHandler handler = ShellBrowseForFolder;
  return handler;
}

}  // namespace

std::wstring BrowseForFolder(HWND owner, const std::wstring& startFolder,
                             const std::wstring& title) {
  return CurrentFolderBrowser()(owner, startFolder, title);
}

FolderBrowserHandler SetFolderBrowserHandler(FolderBrowserHandler handler) {
  FolderBrowserHandler previous = CurrentFolderBrowser();
  CurrentFolderBrowser() = handler != nullptr ? handler : ShellBrowseForFolder;
  return previous;
}

std::wstring ShellBrowseForFolder(HWND owner, const std::wstring& startFolder,
                                  const std::wstring& title) {
  StartFolder() = startFolder;
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_VALIDATE | BIF_NEWDIALOGSTYLE | BIF_BROWSEINCLUDEURLS |
                 BIF_UAHINT | BIF_NONEWFOLDERBUTTON;  // 0x3E1
  info.lpfn = BrowseCallbackProc;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (chosen == nullptr) return std::wstring();
  wchar_t path[MAX_PATH] = {};
  bool found = SHGetPathFromIDListW(chosen, path);
  CoTaskMemFree(chosen);
  return found ? std::wstring(path) : std::wstring();
}

}  // namespace parvox
