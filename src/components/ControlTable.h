// Window layouts as data: every control with its kind, container, caption, place in twips, tab
// order and tool tip. One table type serves every window; one factory (Form) builds it.
#pragma once

#include <span>

#include "components/Twips.h"

namespace parvox {

enum class ControlKind {
  kHeaderBand,     // white band behind a window's title
  kHeaderLabel,    // text on the white band
  kHeaderTitle,    // bold text on the white band
  kLabel,          // wrapping text
  kBreakingLabel,  // wrapping text that may hold a stranger's words: a long one breaks, rather
                   // than widening the window
  kImage,          // a 48 x 48 icon (on the header band)
  kBitmap,         // a picture drawn by the window (on the header band)
  kFrame,          // captioned group box
  kOption,         // bold option button
  kCheckBox,
  kTextBox,           // one line
  kMultiLineTextBox,  // typing; Enter starts a new line
  kReadOnlyText,      // multi-line, read-only, selectable, scrolls
  kButton,
  kBoldButton,
  kDefaultButton,
  kRule,       // etched separator rule
  kListView,   // report view
  kContainer,  // no window of its own: only positions the controls inside it
  kCustom,     // a control the window creates itself
};

inline constexpr int kNoContainer = 0;

struct ControlSpec {
  int id;
  const wchar_t* name;
  ControlKind kind;
  int container;  // kNoContainer: the window's client area
  const wchar_t* caption;
  TwipRect rect;           // relative to the container
  int tabIndex;            // creation order, which is the tab order of those that take the focus
  const wchar_t* toolTip;  // nullptr: none
};

const ControlSpec* FindControl(std::span<const ControlSpec> table, int id);
// The control's rectangle relative to the window's client area.
TwipRect AbsoluteTwips(std::span<const ControlSpec> table, const ControlSpec& control);
// The static texts, whose height follows their text (see TextGrowth.h).
bool IsTextLabel(ControlKind kind);

}  // namespace parvox
