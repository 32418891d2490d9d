// Where the separator rule's two lines go, in twips of the control's inner area; kept apart
// from the window so it can be checked without one.
#pragma once

#include <cstdint>

namespace parvox {

struct RuleLine {
  int x1, y1, x2, y2;
  bool operator==(const RuleLine&) const = default;
};

// hiLite is the light line, loLite the dark one.
struct RuleLines {
  RuleLine hiLite, loLite;
  bool operator==(const RuleLines&) const = default;
};

enum class RulePlacement { kHorizontal, kVertical, kUnchanged };

// Orientation: 0 chooses by shape, 1 is horizontal, 2 vertical.
inline constexpr std::int32_t kRuleAutomatic = 0;
inline constexpr std::int32_t kRuleHorizontal = 1;
inline constexpr std::int32_t kRuleVertical = 2;

// The lines before the first placement.
RuleLines InitialRuleLines();
// A square counts as vertical; an unknown orientation leaves the lines alone.
RulePlacement ChooseRulePlacement(std::int32_t orientation, int scaleWidth, int scaleHeight);
// Moves the lines for the control's inner size; each placement keeps one end it does not own.
void PlaceRuleLines(RuleLines& lines, std::int32_t orientation, int scaleWidth, int scaleHeight);

}  // namespace parvox
