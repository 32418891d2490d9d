// Folder browser with the new dialog style; the callback selects the start folder.
#include "settings/modCommonDialogs.h"

#include <shlobj.h>

#include "settings/AnsiText.h"

namespace parvox {
namespace {

std::string& StartFolder() {
  static std::string folder;
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
    SendMessageA(window, BFFM_SETSELECTIONA, 1, reinterpret_cast<LPARAM>(StartFolder().c_str()));
  }
  return 0;
}

}  // namespace

std::wstring ShellBrowseForFolder(HWND owner, const std::wstring& startFolder, const std::wstring& title) {
  StartFolder() = ToAnsi(startFolder);
  std::string ansiTitle = ToAnsi(title);
  BROWSEINFOA info{};
  info.hwndOwner = owner;
  info.lpszTitle = ansiTitle.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_VALIDATE | BIF_NEWDIALOGSTYLE | BIF_BROWSEINCLUDEURLS | BIF_UAHINT |
                 BIF_NONEWFOLDERBUTTON;  // 0x3E1
  info.lpfn = BrowseCallbackProc;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
  if (chosen == nullptr) return std::wstring();
  char path[512] = {};
  bool found = SHGetPathFromIDListA(chosen, path);
  CoTaskMemFree(chosen);
  return found ? FromAnsi(path) : std::wstring();
}

}  // namespace parvox
