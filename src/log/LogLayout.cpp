// The log window's controls at design size and where they go when the window is resized.
#include "log/LogLayout.h"

#include <algorithm>
#include <array>

namespace parvox {
namespace {

using K = LogControlKind;
using Id = LogControlId;
// The header band and both rules start left of the window and are wider than it, so they
// always reach both sides.
constexpr std::array kControls = {
    LogControlSpec{Id::kLabHeaderBkg,
                   L"labHeaderBkg",
                   K::kHeaderBand,
                   L"",
                   nullptr,
                   {-1035, -930, 8940, 2040}},
    LogControlSpec{Id::kImgLogo, L"imgLogo", K::kPicture, L"", nullptr, {210, 195, 720, 720}},
    LogControlSpec{
        Id::kLabTitle, L"labTitle", K::kTitle, L"Logging", nullptr, {1140, 135, 660, 195}},
    LogControlSpec{Id::kLabBody,
                   L"labBody",
                   K::kLabel,
                   L"This window contains application and network information on Parvox. When an "
                   L"event occurrs that is deemed worthy of attention, it will appear in this log.",
                   nullptr,
                   {1140, 330, 4830, 675}},
    LogControlSpec{Id::kRuleTop, L"ruleTop", K::kRule, L"", nullptr, {-1290, 1095, 8985, 60}},
    LogControlSpec{Id::kTxtLog, L"txtLog", K::kTextBox, L"", nullptr, {75, 1200, 6135, 2760}},
    LogControlSpec{Id::kRuleBottom, L"ruleBottom", K::kRule, L"", nullptr, {-135, 4035, 7020, 105}},
    LogControlSpec{Id::kCmdClear,
                   L"cmdClear",
                   K::kButton,
                   L"Clear",
                   L"Clear the current log",
                   {75, 4140, 1515, 435}},
    LogControlSpec{Id::kCmdClose,
                   L"cmdClose",
                   K::kButton,
                   L"Close",
                   L"Close the log window",
                   {4695, 4140, 1515, 435}},
};

}  // namespace

std::span<const LogControlSpec> LogControls() { return kControls; }

const LogControlSpec* FindLogControl(LogControlId id) {
  for (const LogControlSpec& control : kControls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

std::vector<LogControlSpec> ResizedLogControls(int width, int height) {
  std::vector<LogControlSpec> controls(kControls.begin(), kControls.end());
  auto rect = [&](Id id) -> TwipRect& {
    return std::find_if(controls.begin(), controls.end(),
                        [id](const LogControlSpec& c) { return c.id == id; })
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
