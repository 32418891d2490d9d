// The shared procedure of subclassed controls.
#include "components/ControlSubclass.h"

#include <memory>

namespace parvox {
namespace {

struct Subclass {
  WNDPROC original;
  ControlHandler handler;
};

// Kept in the control's user data, which the system's control classes leave to their owner.
Subclass* Find(HWND control) {
  return reinterpret_cast<Subclass*>(GetWindowLongPtrW(control, GWLP_USERDATA));
}

LRESULT CALLBACK SubclassProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  Subclass* subclass = Find(control);
  if (subclass == nullptr) return DefWindowProcW(control, message, wParam, lParam);
  ControlMessage call{control, message, wParam, lParam, subclass->original};
  if (message == WM_NCDESTROY) {
    std::unique_ptr<Subclass> owned(subclass);
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(owned->original));
    SetWindowLongPtrW(control, GWLP_USERDATA, 0);
    return call.Default();
  }
  try {
    return subclass->handler(call);
  } catch (...) {
    // A failing handler must not unwind through the control's procedure.
    return call.Default();
  }
}

}  // namespace

void SubclassControl(HWND control, ControlHandler handler) {
  if (control == nullptr) return;
  auto* subclass = new Subclass{nullptr, std::move(handler)};
  SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(subclass));
  subclass->original = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProcedure)));
}

}  // namespace parvox
