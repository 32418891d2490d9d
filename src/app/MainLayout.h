// The main window's fixed layout in twips, as data.
#pragma once

#include <span>

#include "components/ControlTable.h"

namespace parvox {

enum MainControlId : int {
  kIdNone = 0,
  kIdFraAddressBook = 1000,
  kIdLvwAddressBook,
  kIdPicAddressBook,
  kIdCmdAdd,
  kIdCmdEdit,
  kIdCmdRemove,
  kIdCmdMenu,
  kIdFraMessage,
  kIdTxtMsg,
  kIdPicEnterMsg,
  kIdCmdSend,
  kIdCmdClear,
  kIdCmdAbout,
  kIdPicStatus,
};

inline constexpr int kMainClientWidthTwips = 8820;
inline constexpr int kMainClientHeightTwips = 4155;

std::span<const ControlSpec> MainControls();
const ControlSpec* FindMainControl(MainControlId id);

}  // namespace parvox
