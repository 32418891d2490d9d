// Room for the labels' texts. A table gives each label the size its text took in one font at
// one resolution; in another the words wrap differently. A label whose text needs more grows,
// what lies below it moves down by as much, and what holds it (a frame, the header band) grows
// with it, so no text is ever cut.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "components/Twips.h"

namespace parvox {

// What the text of label `index` needs at the label's designed width: the height, and the
// width of a word wider than the label (0 when every word fits).
struct TextNeed {
  size_t index;
  int width, height;
};

// Moves and grows `boxes` (relative to the client area) to make room; returns how much taller
// the client area must become. A label never shrinks.
int MakeRoomForText(std::vector<TwipRect>& boxes, std::span<const TextNeed> needs);

}  // namespace parvox
