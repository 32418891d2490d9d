// The arithmetic of making room for text: growth below a label adds up from top to bottom,
// labels side by side move what is below them by the larger of their growths, not the sum, and
// only what wholly holds a label grows with it (a text box beside a label just moves).
#include "components/TextGrowth.h"

#include <algorithm>

namespace parvox {
namespace {

int Bottom(const TwipRect& box) { return box.top + box.height; }

bool Holds(const TwipRect& outer, const TwipRect& inner) {
  return outer.left <= inner.left && outer.top <= inner.top &&
         outer.left + outer.width >= inner.left + inner.width && Bottom(outer) >= Bottom(inner);
}

}  // namespace

int MakeRoomForText(std::vector<TwipRect>& boxes, std::span<const TextNeed> needs) {
  struct Growth {
    size_t index;  // of the label
    int shift;     // how far what starts at or below the label's bottom moves
  };
  const std::vector<TwipRect> designed = boxes;
  std::vector<const TextNeed*> growing;
  for (const TextNeed& need : needs) {
    if (need.index < designed.size() && need.height > designed[need.index].height)
      growing.push_back(&need);
  }
  std::sort(growing.begin(), growing.end(), [&](const TextNeed* a, const TextNeed* b) {
    return Bottom(designed[a->index]) < Bottom(designed[b->index]);
  });

  std::vector<Growth> growths;
  // How far a box that starts at `y` moves: the largest shift of the labels that end above it.
  auto shiftAt = [&](int y) {
    int shift = 0;
    for (const Growth& growth : growths) {
      if (Bottom(designed[growth.index]) <= y) shift = std::max(shift, growth.shift);
    }
    return shift;
  };
  for (const TextNeed* need : growing) {
    const TwipRect& label = designed[need->index];
    growths.push_back({need->index, shiftAt(label.top) + need->height - label.height});
  }

  for (size_t i = 0; i < boxes.size(); ++i) {
    const TwipRect& box = designed[i];
    int topShift = shiftAt(box.top), bottomShift = topShift;
    for (const Growth& growth : growths) {
      if (growth.index != i && Holds(box, designed[growth.index]))
        bottomShift = std::max(bottomShift, growth.shift);
    }
    boxes[i].top = box.top + topShift;
    boxes[i].height = box.height + bottomShift - topShift;
  }
  for (const TextNeed& need : needs) {
    if (need.index >= boxes.size()) continue;
    TwipRect& label = boxes[need.index];
    label.height = std::max(label.height, need.height);
    label.width = std::max(label.width, need.width);
  }
  int total = 0;
  for (const Growth& growth : growths) total = std::max(total, growth.shift);
  return total;
}

}  // namespace parvox
