// Entry editor layout, keystroke rules and the add or edit of the row.
#include "addressbook/EntryEditor.h"

#include <commctrl.h>

#include <algorithm>
#include <array>

#include "addressbook/AddressBookStore.h"
#include "addressbook/AddressList.h"
#include "addressbook/EntryRecord.h"
#include "resource.h"

namespace parvox {
namespace {

using K = ControlKind;
using E = EntryEditor;
// The controls that take the focus come first: the rows are in tab order.
// clang-format off
constexpr std::array kEditLayout = {
    ControlSpec{E::kTxtAddress, L"txtAddress", K::kTextBox, kNoContainer, L"",
                {1290, 2940, 4550, 285}, 0, nullptr},
    ControlSpec{E::kTxtDescription, L"txtDescription", K::kTextBox, kNoContainer, L"",
                {1290, 4035, 4550, 285}, 1, nullptr},
    ControlSpec{E::kOptUserOrMachine, L"optEntryType(0)", K::kOption, kNoContainer,
                L"User or Machine",
                {300, 1500, 2580, 255}, 2, nullptr},
    ControlSpec{E::kOptDomain, L"optEntryType(1)", K::kOption, kNoContainer, L"Domain",
                {3105, 1500, 2700, 255}, 3, nullptr},
    ControlSpec{E::kCmdAddEntry, L"cmdAddEntry", K::kDefaultButton, kNoContainer, L"Add Entry",
                {2925, 5145, 1515, 435}, 4, L"Add this new entry to the address book"},
    ControlSpec{E::kCmdCancel, L"cmdCancel", K::kButton, kNoContainer, L"Cancel",
                {4470, 5145, 1515, 435}, 5, L"Don't add this new entry to the address bok"},
    ControlSpec{E::kLabHeaderBkg, L"labHeaderBkg", K::kHeaderBand, kNoContainer, L"",
                {0, 0, 6105, 1125}, 6, nullptr},
    ControlSpec{E::kImgLogoUser, L"imgLogo(0)", K::kImage, kNoContainer, L"",
                {210, 210, 720, 720}, 7, nullptr},
    ControlSpec{E::kImgLogoDomain, L"imgLogo(1)", K::kImage, kNoContainer, L"",
                {210, 210, 720, 720}, 8, nullptr},
    ControlSpec{E::kLabTitle, L"labTitle", K::kHeaderTitle, kNoContainer,
                L"Enter New Address Book Entry",
                {1155, 150, 4800, 195}, 9, nullptr},
    ControlSpec{E::kLabBody, L"labBody", K::kHeaderLabel, kNoContainer,
                L"Parvox supports sending messages to single machines and entire domains. If "
                L"you're not sure which one you should use, then select the User Or Machine "
                L"option.",
                {1155, 345, 4830, 760}, 10, nullptr},
    ControlSpec{E::kMultiRule1, L"MultiRule1", K::kRule, kNoContainer, L"",
                {-1290, 1110, 8985, 60}, 11, nullptr},
    ControlSpec{E::kFraEntryType, L"fraEntryType", K::kFrame, kNoContainer, L"Entry Type",
                {165, 1260, 5790, 1335}, 12, nullptr},
    ControlSpec{E::kLabUserOrMachine, L"labUserOrMachine", K::kLabel, kNoContainer,
                L"Select this type if you want to send a message to a user on a single machine.",
                {540, 1800, 2400, 675}, 13, nullptr},
    ControlSpec{E::kLabDomain, L"labDomain", K::kLabel, kNoContainer,
                L"Or this type if you want to send a message to an entire domain.",
                {3345, 1800, 2460, 675}, 14, nullptr},
    ControlSpec{E::kFraDetails, L"fraDetails", K::kFrame, kNoContainer, L"Recipient Details",
                {165, 2700, 5790, 2160}, 15, nullptr},
    ControlSpec{E::kLabAddress, L"labAddress", K::kLabel, kNoContainer, L"Address",
                {300, 2985, 945, 195}, 16, nullptr},
    ControlSpec{E::kLabStep1, L"labStep1", K::kLabel, kNoContainer,
                L"Enter either the IP address or name of the computer you would like to add to "
                L"your address book here. If using a computer name, it must obviously exist within "
                L"your Local Area Network.",
                {1290, 3255, 4550, 765}, 17, nullptr},
    ControlSpec{E::kLabDescription, L"labDescription", K::kLabel, kNoContainer, L"Description",
                {300, 4080, 945, 195}, 18, nullptr},
    ControlSpec{E::kLabel3, L"Label3", K::kLabel, kNoContainer,
                L"Finally, enter a description for this new entry into here.",
                {1290, 4380, 4550, 390}, 19, nullptr},
    ControlSpec{E::kMultiRule2, L"MultiRule2", K::kRule, kNoContainer, L"",
                {-135, 4995, 7020, 105}, 20, nullptr},
};
// clang-format on

std::wstring ClipboardText(HWND owner) {
  std::wstring text;
  if (!OpenClipboard(owner)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

}  // namespace

std::wstring PastableText(std::wstring text) {
  text.erase(std::min(text.find_first_of(L"\r\n"), text.size()));
  text.erase(std::remove(text.begin(), text.end(), L'|'), text.end());
  return text;
}

int RowToEdit(HWND list) {
  int row =
      static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  if (row < 0)
    row = static_cast<int>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  return row;
}

bool EntryEditor::Open(HWND owner) {
  HWND list = host_.AddressList();
  int row = request_.row;
  std::wstring caption = row < 0 ? L"Add a new entry.." : L"Editing entry: " + request_.address;
  if (!CreateDialogForm(owner, L"ParvoxEdit", caption.c_str(), 6105, 5700, kEditLayout))
    return false;

  SetIcon(kImgLogoUser, IDI_TYPE_USER);
  SetIcon(kImgLogoDomain, IDI_TYPE_DOMAIN);
  for (int box : {kTxtAddress, kTxtDescription})
    SubclassControl(Item(box), [this](const ControlMessage& call) { return TextBoxMessage(call); });

  // A hand-edited TYPE other than 0 opens as "Domain", as its icon shows it.
  SelectType(row >= 0 && EntryTypeOf(RowTag(list, row)) == EntryType::kDomain ? 1 : 0);
  SetWindowTextW(Item(kTxtAddress), request_.address.c_str());
  SetWindowTextW(Item(kTxtDescription), request_.description.c_str());
  SetFocus(Item(kTxtAddress));
  return true;
}

void EntryEditor::SelectType(int type) {
  CheckRadioButton(Handle(), kOptUserOrMachine, kOptDomain,
                   type == 1 ? kOptDomain : kOptUserOrMachine);
  // The chosen type's picture comes to the front.
  HWND front = Item(type == 1 ? kImgLogoDomain : kImgLogoUser);
  HWND back = Item(type == 1 ? kImgLogoUser : kImgLogoDomain);
  ShowWindow(front, SW_SHOW);
  ShowWindow(back, SW_HIDE);
}

int EntryEditor::SelectedType() const {
  if (IsDlgButtonChecked(Handle(), kOptUserOrMachine) == BST_CHECKED) return 0;
  if (IsDlgButtonChecked(Handle(), kOptDomain) == BST_CHECKED) return 1;
  return 0;
}

void EntryEditor::Accept() {
  HWND list = host_.AddressList();
  std::wstring address = WindowText(Item(kTxtAddress)),
               description = WindowText(Item(kTxtDescription));
  // The boxes refuse a typed or pasted "|", but text set by other means (automation,
  // WM_SETTEXT) still holds it, and it would split the stored record.
  std::erase(address, L'|');
  std::erase(description, L'|');
  std::wstring type = std::to_wstring(SelectedType());
  int image = TypeImageIndex(SelectedType() == 1 ? EntryType::kDomain : EntryType::kUserOrMachine);
  if (int row = request_.row; row < 0) {
    AppendAddressRow(list, address, description, image, NewEntryRecord(address, description, type));
  } else {
    std::wstring record = EditedEntryRecord(RowTag(list, row), address, description, type);
    UpdateAddressRow(list, row, address, description, image, record);
  }
  host_.Book().SaveAddressBook();
  EndForm();
}

void EntryEditor::OnCommand(int id, int code) {
  switch (id) {
    case kCmdAddEntry:
      Accept();
      break;
    case kCmdCancel:
      EndForm();
      break;
    case kOptUserOrMachine:
    case kLabUserOrMachine:
      if (code == BN_CLICKED || code == STN_CLICKED) SelectType(0);
      break;
    case kOptDomain:
    case kLabDomain:
      if (code == BN_CLICKED || code == STN_CLICKED) SelectType(1);
      break;
    default:
      break;
  }
}

LRESULT EntryEditor::TextBoxMessage(const ControlMessage& call) {
  switch (call.message) {
    case WM_GETDLGCODE:
      // Escape must reach the box as a typed character rather than go to the dialog loop.
      return call.wParam == VK_ESCAPE ? call.Default() | DLGC_WANTMESSAGE : call.Default();
    case WM_CHAR:
      if (call.wParam == 27) {
        EndForm();
        return 0;
      }
      if (call.wParam == L'|') return 0;
      break;
    case WM_PASTE: {
      std::wstring text = PastableText(ClipboardText(call.control));
      SendMessageW(call.control, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
      return 0;
    }
    case WM_SETFOCUS:
      PostMessageW(call.control, EM_SETSEL, 0, -1);  // after the edit's own caret placement
      break;
    default:
      break;
  }
  return call.Default();
}

}  // namespace parvox
