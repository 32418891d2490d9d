// Lookups in a control table.
#include "components/ControlTable.h"

namespace parvox {

const ControlSpec* FindControl(std::span<const ControlSpec> table, int id) {
  if (id == kNoContainer) return nullptr;
  for (const ControlSpec& control : table) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

TwipRect AbsoluteTwips(std::span<const ControlSpec> table, const ControlSpec& control) {
  TwipRect rect = control.rect;
  // Bounded by the table's size, so a container that contains itself cannot loop.
  const ControlSpec* parent = FindControl(table, control.container);
  for (size_t depth = 0; parent != nullptr && depth < table.size(); ++depth) {
    rect.left += parent->rect.left;
    rect.top += parent->rect.top;
    parent = FindControl(table, parent->container);
  }
  return rect;
}

bool IsTextLabel(ControlKind kind) {
  return kind == ControlKind::kLabel || kind == ControlKind::kBreakingLabel ||
         kind == ControlKind::kHeaderLabel || kind == ControlKind::kHeaderTitle;
}

}  // namespace parvox
