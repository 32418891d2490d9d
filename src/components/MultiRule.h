// The etched separator rule: a dark and a light one-pixel line, across the control or down
// it, reused by every dialog that needs a divider.
#pragma once

#include <cstdint>

#include "components/RuleGeometry.h"
#include "components/Window.h"

namespace parvox {

class MultiRule : public Window {
 public:
  // `orientation` is the stored layout's value, applied before the first placement.
  HWND Create(HWND parent, int id, int x, int y, int width, int height,
              std::int32_t orientation = kRuleAutomatic);

  std::int32_t Orientation() const { return orientation_; }
  // Stores the value and places the lines at once, as a resize would.
  void SetOrientation(std::int32_t orientation);
  // Repaints now: background, then the light line, then the dark one.
  void Refresh();
  // In twips of the control's inner area.
  const RuleLines& Lines() const { return lines_; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void PlaceLines();
  void Paint(HDC dc) const;
  void DrawLine(HDC dc, const RuleLine& line, int systemColour) const;

  std::int32_t orientation_ = kRuleAutomatic;
  RuleLines lines_ = InitialRuleLines();
  int dpi_ = 96;
};

}  // namespace parvox
