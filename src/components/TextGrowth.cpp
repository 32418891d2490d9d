// The arithmetic of making room for text: growth below a label adds up from top to bottom, and
// labels side by side move what is below them by the larger of their growths, not the sum.
#include "components/TextGrowth.h"

#include <algorithm>

namespace parvox {

int MakeRoomForText(std::vector<PixelBox>& boxes, std::span<const TextNeed> needs) {
  struct Growth {
    int bottom;  // of the label as designed
    int shift;   // how far what starts at or below `bottom` moves
  };
  const std::vector<PixelBox> designed = boxes;
  std::vector<const TextNeed*> growing;
  for (const TextNeed& need : needs) {
    if (need.index < designed.size() && need.height > designed[need.index].height)
      growing.push_back(&need);
  }
  auto bottomOf = [&](const TextNeed* need) {
    return designed[need->index].top + designed[need->index].height;
  };
  std::sort(growing.begin(), growing.end(),
            [&](const TextNeed* a, const TextNeed* b) { return bottomOf(a) < bottomOf(b); });

  std::vector<Growth> growths;
  // How far a point at `y` moves: the largest shift of the growths above it (at it too, when
  // `including` is set).
  auto shiftAt = [&](int y, bool including) {
    int shift = 0;
    for (const Growth& growth : growths) {
      if (growth.bottom < y || (including && growth.bottom == y))
        shift = std::max(shift, growth.shift);
    }
    return shift;
  };
  for (const TextNeed* need : growing) {
    const PixelBox& label = designed[need->index];
    growths.push_back({bottomOf(need), shiftAt(label.top, true) + need->height - label.height});
  }

  for (size_t i = 0; i < boxes.size(); ++i) {
    const PixelBox& box = designed[i];
    int top = box.top + shiftAt(box.top, true);
    int bottom = box.top + box.height + shiftAt(box.top + box.height, false);
    boxes[i].top = top;
    boxes[i].height = std::max(bottom - top, 0);
  }
  for (const TextNeed& need : needs) {
    if (need.index >= boxes.size()) continue;
    PixelBox& label = boxes[need.index];
    label.height = std::max(label.height, need.height);
    label.width = std::max(label.width, need.width);
  }
  int total = 0;
  for (const Growth& growth : growths) total = std::max(total, growth.shift);
  return total;
}

}  // namespace parvox
