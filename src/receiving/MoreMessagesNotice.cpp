// Notice layout and its buttons.
#include "receiving/MoreMessagesNotice.h"

#include <array>
#include <string>

#include "log/Log.h"
#include "log/LogWindow.h"
#include "receiving/PopupPlacement.h"

namespace parvox {
namespace {

using K = ControlKind;
using N = MoreMessagesNotice;
// clang-format off
constexpr std::array kNoticeLayout = {
    ControlSpec{N::kCmdOK, L"cmdOK", K::kDefaultButton, kNoContainer, L"OK",
                {1890, 630, 1335, 405}, 0, nullptr},
    ControlSpec{N::kCmdLog, L"cmdLog", K::kButton, kNoContainer, L"Show Log",
                {3345, 630, 1335, 405}, 1, nullptr},
    ControlSpec{N::kLabText, L"labText", K::kLabel, kNoContainer, L"",
                {120, 150, 4560, 255}, 2, nullptr},
};
// clang-format on

}  // namespace

bool MoreMessagesNotice::Open(int cascade) {
  if (!CreateDialogForm(nullptr, L"ParvoxMoreMessages", L"More messages", 4800, 1155,
                        kNoticeLayout))
    return false;
  ShowWithoutFocus(Handle(), cascade);
  return true;
}

void MoreMessagesNotice::SetCount(std::size_t count) {
  std::wstring text = std::to_wstring(count) + L" more messages arrived. See the log.";
  SetWindowTextW(Item(kLabText), text.c_str());
}

void MoreMessagesNotice::OnCommand(int id, int) {
  switch (id) {
    case kCmdLog:
      ShowLogWindow();
      EndForm();
      break;
    case kCmdOK:
    case IDOK:
    case IDCANCEL:
      EndForm();
      break;
    default:
      break;
  }
}

}  // namespace parvox
