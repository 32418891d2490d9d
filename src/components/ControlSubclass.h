// The one way a window adds behaviour to one of its controls: the control's procedure is
// replaced, and a handler sees each message first.
#pragma once

#include <windows.h>

#include <functional>

namespace parvox {

struct ControlMessage {
  HWND control;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  WNDPROC original;
  // What the control would have done with the message.
  LRESULT Default() const { return CallWindowProcW(original, control, message, wParam, lParam); }
};

using ControlHandler = std::function<LRESULT(const ControlMessage& message)>;

// The handler lives as long as the control. Classic subclassing: the common controls' helpers
// look up a window property on every message, which made filling a large list many times slower.
void SubclassControl(HWND control, ControlHandler handler);

}  // namespace parvox
