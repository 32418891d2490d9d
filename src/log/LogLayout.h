// The log window's control table in twips and its resize arithmetic, as data with no window.
#pragma once

#include <span>
#include <vector>

#include "components/ControlTable.h"

namespace parvox {

enum LogControlId : int {
  kLabHeaderBkg = 2001,
  kImgLogo,
  kLabTitle,
  kLabBody,
  kRuleTop,
  kTxtLog,
  kRuleBottom,
  kCmdClear,
  kCmdClose,
};

inline constexpr int kLogClientWidthTwips = 6285;
inline constexpr int kLogClientHeightTwips = 4650;
// The resize rule is written for the window's outer size with the frame it was designed
// with (4-pixel borders and a 19-pixel caption); see LogResizeWidth.
inline constexpr int kLogDesignFrameWidthTwips = 120;
inline constexpr int kLogDesignFrameHeightTwips = 405;
// No result of the resize rule is smaller than this.
inline constexpr int kLogMinimumTwips = 15;

// In the order they are created, which is the tab order of those that take focus.
std::span<const ControlSpec> LogControls();
const ControlSpec* FindLogControl(LogControlId id);

// The outer size the resize rule expects for a given client size. Today's frames are thicker
// than the design's, so measuring the real frame would push the buttons off the bottom.
inline int LogResizeWidth(int clientWidthTwips) {
  return clientWidthTwips + kLogDesignFrameWidthTwips;
}
inline int LogResizeHeight(int clientHeightTwips) {
  return clientHeightTwips + kLogDesignFrameHeightTwips;
}

// The table with the resize rule applied for an outer size of width × height twips.
std::vector<ControlSpec> ResizedLogControls(int width, int height);

}  // namespace parvox
