// Replaceable user prompts.
#include "app/Seams.h"

#include "settings/FolderBrowser.h"

namespace parvox {
namespace {

int RealMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
  return MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
}

MessageBoxHandler& CurrentMessageBoxHandler() {
  static MessageBoxHandler handler = RealMessageBox;
  return handler;
}

FolderBrowserHandler& CurrentFolderBrowser() {
  static FolderBrowserHandler handler = ShellBrowseForFolder;
  return handler;
}

}  // namespace

std::wstring BrowseForFolder(HWND owner, const std::wstring& startFolder, const std::wstring& title) {
  return CurrentFolderBrowser()(owner, startFolder, title);
}

FolderBrowserHandler SetFolderBrowserHandler(FolderBrowserHandler handler) {
  FolderBrowserHandler previous = CurrentFolderBrowser();
  CurrentFolderBrowser() = handler != nullptr ? handler : ShellBrowseForFolder;
  return previous;
}

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
  return CurrentMessageBoxHandler()(owner, text, caption, flags);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  MessageBoxHandler previous = CurrentMessageBoxHandler();
  CurrentMessageBoxHandler() = handler != nullptr ? handler : RealMessageBox;
  return previous;
}

}  // namespace parvox
