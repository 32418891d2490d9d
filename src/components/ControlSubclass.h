// The one way a window adds behaviour to one of its controls: the control's procedure is
// replaced, and a handler sees each message before the control does (all but the last,
// WM_NCDESTROY, which only undoes the subclassing).
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
  mutable bool passedOn = false;
  // What the control would have done with the message.
  LRESULT Default() const {
    passedOn = true;
    return CallWindowProcW(original, control, message, wParam, lParam);
  }
};

using ControlHandler = std::function<LRESULT(const ControlMessage& message)>;

// The handler lives as long as the control; subclassing a control again replaces it. For the
// system's control classes, which leave their user data to their owner (the subclass keeps
// itself there); false, and nothing done, for a control that already uses it.
// Classic subclassing: the common controls' helpers look up a window property on every
// message, which made filling a large list many times slower.
bool SubclassControl(HWND control, ControlHandler handler);

}  // namespace parvox
