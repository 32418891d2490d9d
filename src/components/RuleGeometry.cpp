// Line placement of the separator rule.
#include "components/RuleGeometry.h"

namespace parvox {

RuleLines InitialRuleLines() { return {.hiLite = {0, 60, 4200, 60}, .loLite = {0, 45, 4200, 45}}; }

RulePlacement ChooseRulePlacement(std::int32_t orientation, int scaleWidth, int scaleHeight) {
  switch (orientation) {
    case kRuleAutomatic:
      return scaleWidth > scaleHeight ? RulePlacement::kHorizontal : RulePlacement::kVertical;
    case kRuleHorizontal:
      return RulePlacement::kHorizontal;
    case kRuleVertical:
      return RulePlacement::kVertical;
    default:
      return RulePlacement::kUnchanged;
  }
}

void PlaceRuleLines(RuleLines& lines, std::int32_t orientation, int scaleWidth, int scaleHeight) {
  RuleLine& hi = lines.hiLite;
  RuleLine& lo = lines.loLite;
  switch (ChooseRulePlacement(orientation, scaleWidth, scaleHeight)) {
    case RulePlacement::kHorizontal:
      // The dark line's left end is never moved here, so it keeps whatever it had.
      hi.y1 = hi.y2 = 20;
      lo.y1 = lo.y2 = 0;
      hi.x1 = 0;
      hi.x2 = lo.x2 = scaleWidth;
      break;
    case RulePlacement::kVertical:
      // Likewise the dark line's top end is left where it was.
      hi.y1 = 30;
      hi.x1 = hi.x2 = 20;
      lo.x1 = lo.x2 = 2;
      hi.y2 = lo.y2 = scaleHeight;
      break;
    case RulePlacement::kUnchanged:
      break;
  }
}

}  // namespace parvox
