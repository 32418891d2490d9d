// Twips, the unit the window layouts are written in (1440 to the inch), and pixels at a DPI.
#pragma once

#include <string>

namespace parvox {

struct TwipRect {
  int left, top, width, height;
};

// Rounded to the nearest pixel.
int TwipsToPixels(int twips, int dpi);
double PixelsToTwips(int pixels, int dpi);
// The same, rounded to the nearest twip (half a twip and more rounds up).
int PixelsToWholeTwips(int pixels, int dpi);
// Decimal text of a twip count: "1755", or "1754.4" when the width has a fraction.
std::wstring TwipsText(double twips);

}  // namespace parvox
