// The replaceable message box.
#include "components/MessageBoxSeam.h"

namespace parvox {
namespace {

int RealMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
  return MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
}

MessageBoxHandler& CurrentMessageBoxHandler() {
  static MessageBoxHandler handler = RealMessageBox;
  return handler;
}

}  // namespace

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
  return CurrentMessageBoxHandler()(owner, text, caption, flags);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  MessageBoxHandler previous = CurrentMessageBoxHandler();
  CurrentMessageBoxHandler() = handler != nullptr ? handler : RealMessageBox;
  return previous;
}

}  // namespace parvox
