// The menu table of the main window.
#include "app/MainMenus.h"

#include <array>

namespace parvox {
namespace {

constexpr std::array kMenus = {
    MenuSpec{kMContext, L"mCONTEXT", kMenuNone, L"Context", true},
    MenuSpec{kMEditSelected, L"mEDITSELECTED", kMContext, L"Edit Selected..", true},
    MenuSpec{kContextSeparator, L"seperator1", kMContext, L"-", true},
    MenuSpec{kMSelection, L"mSELECTION", kMContext, L"Selection", true},
    MenuSpec{kMSelectAll, L"mSELECTALL", kMSelection, L"Select All", true},
    MenuSpec{kMSelectInverted, L"mSELECTINVERTED", kMSelection, L"Select Inverted", true},
    MenuSpec{kMSelectNone, L"mSELECTNONE", kMSelection, L"Select None", true},
    MenuSpec{kMSysTray, L"mSYSTRAY", kMenuNone, L"Systray", true},
    MenuSpec{kMShowWindow, L"mSHOWWINDOW", kMSysTray, L"Show Window", false},
    MenuSpec{kMHideWindow, L"mHIDEWINDOW", kMSysTray, L"Hide Window", true},
    MenuSpec{kTraySeparator, L"blank0", kMSysTray, L"-", true},
    MenuSpec{kMAbout, L"mABOUT", kMSysTray, L"About", true},
    MenuSpec{kMQuit, L"mQUIT", kMSysTray, L"Quit", true},
    MenuSpec{kMMenu, L"mMENU", kMenuNone, L"Menu", true},
    MenuSpec{kMSettings, L"mSETTINGS", kMMenu, L"Settings", true},
    MenuSpec{kMLog, L"mLOG", kMMenu, L"Log", true},
    MenuSpec{kMenuSeparator, L"mBLANK034", kMMenu, L"-", true},
    MenuSpec{kMBackup, L"mBACKUP", kMMenu, L"Backup", true},
    MenuSpec{kMRestore, L"mRESTORE", kMMenu, L"Restore", true},
    // Beside Send, for messages that must not be missed; Send itself stays as it is.
    MenuSpec{kUrgentSeparator, L"mBLANK035", kMMenu, L"-", true},
    MenuSpec{kMSendUrgent, L"mSENDURGENT", kMMenu, L"Send Urgent\tCtrl+U", true},
    MenuSpec{kMSendAcknowledged, L"mSENDACKNOWLEDGED", kMMenu,
             L"Send Asking for Acknowledgement\tCtrl+K", true},
    MenuSpec{kMNotAcknowledged, L"mNOTACKNOWLEDGED", kMMenu, L"Who Has Not Acknowledged", true},
};

}  // namespace

std::span<const MenuSpec> MainMenus() { return kMenus; }

}  // namespace parvox
