// Status bar panel lookup and layout arithmetic. Widths, offsets and icon sizes come from the
// caller unchecked, so sums are taken in 64 bits and saturated back to 32.
#include "components/StatusBarLayout.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>

#include "components/NumericText.h"

namespace parvox {
namespace {

int Saturated(std::int64_t value) {
  return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

size_t SkipDigits(const std::wstring& text, size_t at) {
  while (at < text.size() && IsDigit(text[at])) ++at;
  return at;
}

}  // namespace

PanelRef::PanelRef(int position) : number_(position), text_(std::to_wstring(position)) {}

PanelRef::PanelRef(std::wstring key) : number_(NumericTextValue(key)), text_(std::move(key)) {}

PanelRef::PanelRef(const wchar_t* key) : PanelRef(std::wstring(key)) {}

std::optional<double> NumericTextValue(const std::wstring& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  std::wstring number = text.substr(begin, end - begin);

  size_t at = 0;
  if (at < number.size() && (number[at] == L'+' || number[at] == L'-')) ++at;
  size_t mantissa = at;
  at = SkipDigits(number, at);
  size_t digits = at - mantissa;
  if (at < number.size() && number[at] == L'.') {
    size_t fraction = at + 1;
    at = SkipDigits(number, fraction);
    digits += at - fraction;
  }
  if (digits == 0) return std::nullopt;
  if (at < number.size() && (number[at] == L'e' || number[at] == L'E')) {
    ++at;
    if (at < number.size() && (number[at] == L'+' || number[at] == L'-')) ++at;
    size_t exponent = at;
    at = SkipDigits(number, at);
    if (at == exponent) return std::nullopt;
  }
  if (at != number.size()) return std::nullopt;

  // Only ASCII is left, so narrowing is exact; from_chars ignores the locale but not a '+'.
  std::string narrow(number.begin(), number.end());
  const char* first = narrow.data() + (narrow[0] == '+' ? 1 : 0);
  double value = 0;
  if (std::from_chars(first, narrow.data() + narrow.size(), value).ec != std::errc{}) {
    return std::nullopt;
  }
  return value;
}

std::optional<int> FindPanel(const PanelRef& ref, int count,
                             const std::function<const std::wstring&(int position)>& keyAt) {
  if (std::optional<double> number = ref.Number()) {
    if (!(*number > 0 && *number <= count)) return std::nullopt;
    // Rounding 0.5 or less would give position 0, which is no panel.
    int position = static_cast<int>(RoundHalfEvenClamped(*number, 0, count));
    if (position < 1) return std::nullopt;
    return position;
  }
  for (int position = 1; position <= count; ++position) {
    if (keyAt(position) == ref.Text()) return position;
  }
  return std::nullopt;
}

std::wstring InvalidPanelIndexText(const std::wstring& what) {
  return L"Invalid Panel Index: " + what;
}

int HeightInTwips(int pixels, int dpi) {
  if (dpi <= 0) return 0;
  return static_cast<int>(RoundHalfEvenClamped(
      pixels * 1440.0 / dpi, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

bool VisualStylesSupported(std::uint32_t version) {
  std::uint32_t major = version & 0xFF, minor = (version >> 8) & 0xFF;
  return major > 5 || (major == 5 && minor > 0);
}

int IdealPanelWidth(int measuredTextWidth, int minWidth) {
  return Saturated(std::max<std::int64_t>(std::int64_t{measuredTextWidth} + 12, minWidth));
}

std::vector<PanelRect> LayoutPanels(std::span<const PanelSizing> panels, const PanelRect& client,
                                    int leftOffset, int topOffset, int iconSize) {
  std::vector<PanelRect> rects;
  const size_t count = panels.size();
  if (count == 0) return rects;
  const std::int64_t left = std::int64_t{client.left} + leftOffset;
  const std::int64_t top = std::int64_t{client.top} + topOffset;
  const std::int64_t right = client.right, bottom = client.bottom;

  // Right boundaries counted from 0: the left offset moves only the first panel's left edge.
  std::vector<std::int64_t> boundary(count);
  for (size_t i = 0; i < count; ++i) {
    const PanelSizing& panel = panels[i];
    std::int64_t width = panel.fitToContents ? panel.idealWidth : panel.minWidth;
    if (panel.hasIcon) width += iconSize;
    // Room for a size grip at the end of a bar of several panels.
    if (i > 0 && i == count - 1) width += (bottom - top) / 2;
    boundary[i] = (i == 0 ? 0 : boundary[i - 1]) + width;
  }

  size_t spring = count - 1;
  for (size_t i = count; i-- > 0;) {
    if (panels[i].spring) {
      spring = i;
      break;
    }
  }
  if (right >= boundary[count - 1]) {
    std::int64_t spare = right - boundary[count - 1];
    for (size_t i = spring; i < count; ++i) boundary[i] += spare;
  }

  for (size_t i = 0; i < count; ++i) {
    std::int64_t panelLeft = i == 0 ? left : boundary[i - 1];
    std::int64_t panelRight = i == count - 1 ? boundary[i] : boundary[i] - 1;
    rects.push_back(
        {Saturated(panelLeft), Saturated(top), Saturated(panelRight), Saturated(bottom)});
  }
  return rects;
}

std::vector<PanelRect> VisiblePanelRects(std::span<const PanelRect> panels, int clientRight) {
  std::vector<PanelRect> visible;
  for (const PanelRect& panel : panels) {
    visible.push_back(panel);
    if (panel.right > clientRight) {
      visible.back().right = Saturated(std::int64_t{clientRight} - 1);
      break;
    }
  }
  return visible;
}

int PanelIconLeft(const PanelRect& rect) { return Saturated(std::int64_t{rect.left} + 2); }

int PanelIconTop(const PanelRect& rect, int iconSize, bool themed) {
  std::int64_t spare = std::int64_t{rect.bottom} - rect.top - 2 - iconSize;
  return Saturated(std::int64_t{rect.top} + (themed ? 2 : 1) + spare / 2);
}

int TextLeftAfterIcon(int left, int iconSize) {
  return Saturated(std::int64_t{left} + iconSize + 4);
}

}  // namespace parvox
