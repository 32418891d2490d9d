// The log window's controls at design size and where they go when the window is resized.
#include "log/LogLayout.h"

#include <algorithm>
#include <array>

namespace parvox {
namespace {

using K = ControlKind;
using Id = LogControlId;
// The header band and both rules start left of the window and are wider than it, so they
// always reach both sides.
// clang-format off
constexpr std::array kControls = {
    ControlSpec{Id::kLabHeaderBkg, L"labHeaderBkg", K::kHeaderBand, kNoContainer, L"",
                {-1035, -930, 8940, 2040}, 0, nullptr},
    ControlSpec{Id::kImgLogo, L"imgLogo", K::kBitmap, kNoContainer, L"",
                {210, 195, 720, 720}, 1, nullptr},
    ControlSpec{Id::kLabTitle, L"labTitle", K::kHeaderTitle, kNoContainer, L"Logging",
                {1140, 135, 660, 195}, 2, nullptr},
    ControlSpec{Id::kLabBody, L"labBody", K::kHeaderLabel, kNoContainer,
                L"This window contains application and network information on Parvox. When an "
                L"event occurrs that is deemed worthy of attention, it will appear in this log.",
                {1140, 330, 4830, 675}, 3, nullptr},
    ControlSpec{Id::kRuleTop, L"ruleTop", K::kRule, kNoContainer, L"",
                {-1290, 1095, 8985, 60}, 4, nullptr},
    ControlSpec{Id::kTxtLog, L"txtLog", K::kReadOnlyText, kNoContainer, L"",
                {75, 1200, 6135, 2760}, 5, nullptr},
    ControlSpec{Id::kRuleBottom, L"ruleBottom", K::kRule, kNoContainer, L"",
                {-135, 4035, 7020, 105}, 6, nullptr},
    ControlSpec{Id::kCmdClear, L"cmdClear", K::kButton, kNoContainer, L"Clear",
                {75, 4140, 1515, 435}, 7, L"Clear the current log"},
    ControlSpec{Id::kCmdClose, L"cmdClose", K::kButton, kNoContainer, L"Close",
                {4695, 4140, 1515, 435}, 8, L"Close the log window"},
};
// clang-format on

}  // namespace

std::span<const ControlSpec> LogControls() { return kControls; }

const ControlSpec* FindLogControl(LogControlId id) { return FindControl(kControls, id); }

std::vector<ControlSpec> ResizedLogControls(int width, int height) {
  std::vector<ControlSpec> controls(kControls.begin(), kControls.end());
  auto rect = [&](Id id) -> TwipRect& {
    return std::find_if(controls.begin(), controls.end(),
                        [id](const ControlSpec& c) { return c.id == id; })
        ->rect;
  };
  auto floor = [](int twips) { return std::max(twips, kLogMinimumTwips); };
  rect(Id::kLabBody).width = floor(width - 1500);
  rect(Id::kLabHeaderBkg).width = floor(width + 2500);
  rect(Id::kRuleTop).width = floor(width + 2500);
  rect(Id::kRuleBottom).width = floor(width + 2500);
  rect(Id::kRuleBottom).top = floor(height - 1020);
  rect(Id::kTxtLog).width = floor(width - 270);
  rect(Id::kTxtLog).height = floor(height - 2295);
  rect(Id::kCmdClear).top = floor(height - 915);
  rect(Id::kCmdClose).top = rect(Id::kCmdClear).top;
  rect(Id::kCmdClose).left = floor(width - 1710);
  return controls;
}

}  // namespace parvox
