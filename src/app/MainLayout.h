// The main window's fixed layout in twips, as data, and the conversion to pixels.
#pragma once

#include <span>
#include <string>

#include "components/Twips.h"

namespace parvox {

enum class ControlKind {
  kFrame,
  kListView,
  kContainer,
  kButton,
  kBoldButton,
  kTextBox,
  kStatusHost
};

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

struct ControlSpec {
  MainControlId id;
  const wchar_t* name;
  ControlKind kind;
  MainControlId container;  // kIdNone: the window's client area
  const wchar_t* caption;
  int left, top, width, height;  // twips, relative to the container
  int tabIndex;
};

inline constexpr int kMainClientWidthTwips = 8820;
inline constexpr int kMainClientHeightTwips = 4155;

std::span<const ControlSpec> MainControls();
const ControlSpec* FindMainControl(MainControlId id);
// The control's rectangle relative to the window's client area.
TwipRect AbsoluteTwips(const ControlSpec& control);

}  // namespace parvox
