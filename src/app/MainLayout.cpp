// The main window's control table.
#include "app/MainLayout.h"

#include <array>

namespace parvox {
namespace {

using K = ControlKind;
// clang-format off
constexpr std::array kControls = {
    ControlSpec{kIdFraAddressBook, L"fraAddressBook", K::kFrame, kIdNone, L"Address Book",
                {45, 30, 4740, 3720}, 7, nullptr},
    ControlSpec{kIdLvwAddressBook, L"lvwAddressBook", K::kListView, kIdFraAddressBook, L"",
                {120, 225, 4485, 2985}, 8, nullptr},
    ControlSpec{kIdPicAddressBook, L"picAddressBook", K::kContainer, kIdFraAddressBook, L"",
                {90, 3255, 4545, 360}, 11, nullptr},
    ControlSpec{kIdCmdAdd, L"cmdAdd", K::kButton, kIdPicAddressBook, L"Add",
                {15, 0, 1200, 360}, 3, nullptr},
    ControlSpec{kIdCmdEdit, L"cmdEdit", K::kButton, kIdPicAddressBook, L"Edit",
                {1245, 0, 1200, 360}, 4, nullptr},
    ControlSpec{kIdCmdRemove, L"cmdRemove", K::kButton, kIdPicAddressBook, L"Remove",
                {2475, 0, 1200, 360}, 5, nullptr},
    ControlSpec{kIdCmdMenu, L"cmdMenu", K::kBoldButton, kIdPicAddressBook, L"Menu",
                {3705, 0, 810, 360}, 6, nullptr},
    ControlSpec{kIdFraMessage, L"fraMessage", K::kFrame, kIdNone, L"Enter Message",
                {4755, 30, 4020, 3720}, 10, nullptr},
    ControlSpec{kIdTxtMsg, L"txtMsg", K::kMultiLineTextBox, kIdFraMessage, L"",
                {120, 195, 3780, 3015}, 0, nullptr},
    ControlSpec{kIdPicEnterMsg, L"picEnterMsg", K::kContainer, kIdFraMessage, L"",
                {105, 3240, 3810, 405}, 12, nullptr},
    ControlSpec{kIdCmdSend, L"cmdSend", K::kBoldButton, kIdPicEnterMsg, L"Send",
                {15, 15, 1605, 360}, 1, nullptr},
    ControlSpec{kIdCmdClear, L"cmdClear", K::kButton, kIdPicEnterMsg, L"Clear",
                {1650, 15, 1080, 360}, 2, nullptr},
    ControlSpec{kIdCmdAbout, L"cmdAbout", K::kButton, kIdPicEnterMsg, L"About",
                {2760, 15, 1035, 360}, 9, nullptr},
    ControlSpec{kIdPicStatus, L"picStatus", K::kCustom, kIdNone, L"",
                {0, 3810, 8820, 345}, 13, nullptr},
};
// clang-format on

}  // namespace

std::span<const ControlSpec> MainControls() { return kControls; }

const ControlSpec* FindMainControl(MainControlId id) { return FindControl(kControls, id); }

}  // namespace parvox
