// The shared procedure of subclassed controls.
#include "components/ControlSubclass.h"

namespace parvox {
namespace {

struct Subclass {
  WNDPROC original;
  ControlHandler handler;
  int running = 0;         // handler calls under way for this control
  bool destroyed = false;  // the control went while a handler ran: freed when the last returns
};

LRESULT CALLBACK SubclassProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

Subclass* Find(HWND control) {
  if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(control, GWLP_WNDPROC)) != SubclassProcedure)
    return nullptr;
  return reinterpret_cast<Subclass*>(GetWindowLongPtrW(control, GWLP_USERDATA));
}

LRESULT CALLBACK SubclassProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  // Only this procedure's own controls come here, and their user data is the subclass.
  auto* subclass = reinterpret_cast<Subclass*>(GetWindowLongPtrW(control, GWLP_USERDATA));
  if (subclass == nullptr) return DefWindowProcW(control, message, wParam, lParam);
  ControlMessage call{control, message, wParam, lParam, subclass->original};
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclass->original));
    SetWindowLongPtrW(control, GWLP_USERDATA, 0);
    // A handler that destroyed its own window (a dialog's Escape) is still running.
    if (subclass->running == 0) {
      delete subclass;
    } else {
      subclass->destroyed = true;
    }
    return call.Default();
  }
  LRESULT result = 0;
  ++subclass->running;
  try {
    result = subclass->handler(call);
  } catch (...) {
    // A failing handler must not unwind through the control's procedure; the control still
    // gets the message, unless the handler had passed it on already.
    result = call.passedOn ? 0 : call.Default();
  }
  if (--subclass->running == 0 && subclass->destroyed) delete subclass;
  return result;
}

}  // namespace

bool SubclassControl(HWND control, ControlHandler handler) {
  if (control == nullptr) return false;
  if (Subclass* existing = Find(control)) {
    existing->handler = std::move(handler);
    return true;
  }
  if (GetWindowLongPtrW(control, GWLP_USERDATA) != 0) return false;
  auto* subclass = new Subclass{nullptr, std::move(handler)};
  SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(subclass));
  subclass->original = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProcedure)));
  return true;
}

}  // namespace parvox
