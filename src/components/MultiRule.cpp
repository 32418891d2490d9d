// Separator rule window: places its lines on every resize and draws them in the system's
// shadow and highlight colours, so it follows the user's colour scheme.
#include "components/MultiRule.h"

#include "components/ScreenDpi.h"
#include "components/Twips.h"
#include "components/UniqueHandle.h"

namespace parvox {
namespace {

constexpr wchar_t kRuleClass[] = L"ParvoxMultiRule";

using PenHandle = UniqueHandle<HPEN, DeleteGdiObject>;

}  // namespace

HWND MultiRule::Create(HWND parent, int id, int x, int y, int width, int height,
                       std::int32_t orientation) {
  RegisterWindowClass(kRuleClass, nullptr, GetSysColorBrush(COLOR_BTNFACE));
  dpi_ = ScreenDpi();
  orientation_ = orientation;
  HWND rule = CreateWindowFor(kRuleClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, x, y,
                              width, height, parent);
  if (rule == nullptr) return nullptr;
  SetWindowLongPtrW(rule, GWLP_ID, id);
  PlaceLines();
  return rule;
}

void MultiRule::SetOrientation(std::int32_t orientation) {
  orientation_ = orientation;
  PlaceLines();
  Refresh();
}

void MultiRule::Refresh() {
  if (Handle() == nullptr) return;
  InvalidateRect(Handle(), nullptr, TRUE);
  UpdateWindow(Handle());
}

void MultiRule::PlaceLines() {
  RECT client{};
  GetClientRect(Handle(), &client);
  PlaceRuleLines(lines_, orientation_, PixelsToWholeTwips(client.right, dpi_),
                 PixelsToWholeTwips(client.bottom, dpi_));
}

void MultiRule::DrawLine(HDC dc, const RuleLine& line, int systemColour) const {
  PenHandle pen(CreatePen(PS_SOLID, 1, GetSysColor(systemColour)));
  ScopedSelectObject selected(dc, pen.Get());
  MoveToEx(dc, TwipsToPixels(line.x1, dpi_), TwipsToPixels(line.y1, dpi_), nullptr);
  LineTo(dc, TwipsToPixels(line.x2, dpi_), TwipsToPixels(line.y2, dpi_));
}

void MultiRule::Paint(HDC dc) const {
  RECT client{};
  GetClientRect(Handle(), &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  DrawLine(dc, lines_.hiLite, COLOR_BTNHIGHLIGHT);
  DrawLine(dc, lines_.loLite, COLOR_BTNSHADOW);
}

LRESULT MultiRule::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(Handle(), &paint);
      Paint(dc);
      EndPaint(Handle(), &paint);
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_ERASEBKGND:
      return 1;  // Paint fills the whole control
    case WM_SIZE:
      PlaceLines();
      InvalidateRect(Handle(), nullptr, FALSE);
      return 0;
    default:
      return Window::HandleMessage(message, wParam, lParam);
  }
}

}  // namespace parvox
