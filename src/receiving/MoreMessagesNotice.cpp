// Notice layout and its buttons.
#include "receiving/MoreMessagesNotice.h"

#include <array>
#include <string>

#include "log/Log.h"
#include "receiving/PopupPlacement.h"

namespace parvox {
namespace {

using K = FormKind;
using N = MoreMessagesNotice;
constexpr std::array kNoticeLayout = {
    FormControl{N::kCmdOK, L"cmdOK", K::kDefaultButton, L"OK", 1890, 630, 1335, 405, nullptr},
    FormControl{N::kCmdLog, L"cmdLog", K::kButton, L"Show Log", 3345, 630, 1335, 405, nullptr},
    FormControl{N::kLabText, L"labText", K::kLabel, L"", 120, 150, 4560, 255, nullptr},
};

}  // namespace

bool MoreMessagesNotice::Open(int cascade) {
  if (!CreateForm(nullptr, L"ParvoxMoreMessages", L"More messages", 4800, 1155, kNoticeLayout))
    return false;
  ShowWithoutFocus(Handle(), cascade);
  return true;
}

void MoreMessagesNotice::SetCount(std::size_t count) {
  std::wstring text = std::to_wstring(count) + L" more messages arrived. See the log.";
  SetWindowTextW(Item(kLabText), text.c_str());
}

LRESULT MoreMessagesNotice::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) {
    SetFocus(Item(kCmdOK));
    return 0;
  }
  return Form::HandleMessage(message, wParam, lParam);
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
