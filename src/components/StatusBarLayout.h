// The status bar's arithmetic without the platform: finding a panel by position or key, the
// width a measured text asks for, where each panel goes and which of them a paint reaches.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace parvox {

inline constexpr int kMaxPanels = 255;

inline constexpr std::uint32_t kErrorInvalidPanelIndex = 0x8004041A;
inline constexpr std::uint32_t kErrorTooManyPanels = 0x8004041B;
inline constexpr std::uint32_t kErrorStylesNotSupported = 0x8004041C;
inline constexpr std::uint32_t kErrorInvalidHost = 9;

// A key argument: a panel position, or a panel key. Text that reads as a decimal number counts
// as a position, so a panel whose key is "2" can only be reached by its position. Implicit, so
// callers write PanelText(1) and PanelText(L"clock") alike.
class PanelRef {
 public:
  PanelRef(int position);
  PanelRef(std::wstring key);
  PanelRef(const wchar_t* key);

  // The value of a number, or of numeric text; nullopt for a key.
  std::optional<double> Number() const { return number_; }
  // The argument as text: the key itself, or the decimal digits of a number.
  const std::wstring& Text() const { return text_; }

 private:
  std::optional<double> number_;
  std::wstring text_;
};

// Value of text that is, as a whole, one decimal number; blanks around it are allowed
// (" 2 ", "-1.5e3"). Anything else ("2a", "0x10", "inf") is a key, not a number.
std::optional<double> NumericTextValue(const std::wstring& text);

// Position (1..count) that `ref` names, or nullopt. A number names the position it rounds to
// when it lies in 0 < number <= count; a key names the lowest panel whose key is exactly equal.
std::optional<int> FindPanel(const PanelRef& ref, int count,
                             const std::function<const std::wstring&(int position)>& keyAt);

// "Invalid Panel Index: " followed by the argument's text.
std::wstring InvalidPanelIndexText(const std::wstring& what);

// A height in pixels as twips at `dpi` dots per inch (1440 twips to the inch), rounded.
int HeightInTwips(int pixels, int dpi);

// Visual styles need Windows 5.1 or later; `version` is GetVersion's result.
bool VisualStylesSupported(std::uint32_t version);

struct PanelRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const PanelRect&) const = default;
};

struct PanelSizing {
  int minWidth = 0;
  int idealWidth = 0;
  bool fitToContents = false;
  bool spring = false;
  bool hasIcon = false;
};

// The width a panel asks for when fitted to its text: the text plus a margin, never below
// the panel's minimum.
int IdealPanelWidth(int measuredTextWidth, int minWidth);

// Rectangles of the panels inside `client` moved by the offsets. The spring panel (the last
// with the flag, else the last panel) takes what is left over; the last of several panels
// also leaves room for a size grip. Panels wider than the client are not shrunk.
std::vector<PanelRect> LayoutPanels(std::span<const PanelSizing> panels, const PanelRect& client,
                                    int leftOffset, int topOffset, int iconSize);

// The rectangles one paint draws: it stops after the first panel that passes `clientRight`,
// which is cut back to end one pixel inside it.
std::vector<PanelRect> VisiblePanelRects(std::span<const PanelRect> panels, int clientRight);

// Where a panel's icon goes: just inside its left edge, centred vertically; themed panels sit
// one pixel lower.
int PanelIconLeft(const PanelRect& rect);
int PanelIconTop(const PanelRect& rect, int iconSize, bool themed);
// Left edge of the text that follows an icon.
int TextLeftAfterIcon(int left, int iconSize);

}  // namespace parvox
