// The program's one typeface: Tahoma 8.25 point, plain or bold, at the screen's resolution.
#pragma once

#include <windows.h>

#include "components/UniqueHandle.h"

namespace parvox {

inline FontHandle CreateDialogFont(int dpi, bool bold) {
  LOGFONTW face{};
  face.lfHeight = -MulDiv(825, dpi, 7200);  // 8.25 point
  face.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  face.lfCharSet = DEFAULT_CHARSET;
  wcscpy_s(face.lfFaceName, L"Tahoma");
  return FontHandle(CreateFontIndirectW(&face));
}

}  // namespace parvox
