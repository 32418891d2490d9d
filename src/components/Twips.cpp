// Twip arithmetic.
#include "components/Twips.h"

#include <cwchar>

namespace parvox {

int TwipsToPixels(int twips, int dpi) {
  long long scaled = static_cast<long long>(twips) * dpi;
  return static_cast<int>(scaled >= 0 ? (scaled + 720) / 1440 : -((-scaled + 720) / 1440));
}

double PixelsToTwips(int pixels, int dpi) { return dpi <= 0 ? 0.0 : pixels * 1440.0 / dpi; }

int PixelsToWholeTwips(int pixels, int dpi) {
  return static_cast<int>(PixelsToTwips(pixels, dpi) + 0.5);
}

std::wstring TwipsText(double twips) {
  wchar_t text[64];
  std::swprintf(text, 64, L"%.4f", twips);
  std::wstring result(text);
  while (result.back() == L'0') result.pop_back();
  if (result.back() == L'.') result.pop_back();
  return result;
}

}  // namespace parvox
