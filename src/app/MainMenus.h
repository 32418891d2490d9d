// The main window's three pop-up menus as data: entries, nesting and enabled state at design.
#pragma once

#include <span>

namespace parvox {

enum MenuId : int {
  kMenuNone = 0,
  kMContext = 2000,
  kMEditSelected,
  kContextSeparator,
  kMSelection,
  kMSelectAll,
  kMSelectInverted,
  kMSelectNone,
  kMSysTray,
  kMShowWindow,
  kMHideWindow,
  kTraySeparator,
  kMAbout,
  kMQuit,
  kMMenu,
  kMSettings,
  kMLog,
  kMenuSeparator,
  kMBackup,
  kMRestore,
  kUrgentSeparator,
  kMSendUrgent,
  kMSendAcknowledged,
  kMNotAcknowledged,
};

struct MenuSpec {
  MenuId id;
  const wchar_t* name;
  MenuId parent;           // kMenuNone for the three top-level pop-ups
  const wchar_t* caption;  // "-" is a separator line
  bool enabled;
};

std::span<const MenuSpec> MainMenus();

}  // namespace parvox
