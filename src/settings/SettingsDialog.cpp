// Settings dialog layout, load and save.
#include "settings/SettingsDialog.h"

#include <array>
#include <utility>

#include "components/MessageBoxSeam.h"
#include "components/Version.h"
#include "resource.h"
#include "settings/AppState.h"
#include "settings/Registry.h"

namespace parvox {
namespace {

using K = ControlKind;
using S = SettingsDialog;
// clang-format off
constexpr std::array kSettingsLayout = {
    ControlSpec{S::kChkStartWithWindows, L"chkStartWithWindows", K::kCheckBox, kNoContainer,
                L"Start with Windows.",
                {150, 1275, 1905, 255}, 0, L"Start Parvox with Windows at boot time"},
    ControlSpec{S::kChkStartMinimised, L"chkStartMinimised", K::kCheckBox, kNoContainer,
                L"Start minimised.",
                {150, 1530, 1575, 255}, 1, nullptr},
    ControlSpec{S::kChkEscapeMinimises, L"chkEscapeMinimises", K::kCheckBox, kNoContainer,
                L"Pressing Escape minimises window to tray.",
                {150, 1785, 3495, 255}, 2,
                L"Pressing escape in the main window causes it to minimise to the system tray"},
    ControlSpec{S::kChkInternalSend, L"chkInternalSend", K::kCheckBox, kNoContainer,
                L"Use Internal Net Send functions.",
                {240, 3060, 5895, 255}, 3, nullptr},
    ControlSpec{S::kChkReceiveMessages, L"chkReceiveMessages", K::kCheckBox, kNoContainer,
                L"Show messages sent to this computer.",
                {240, 4395, 5895, 255}, 4,
                L"Receive the messages that others send to this computer and show each one in a "
                L"small window"},
    ControlSpec{S::kCmdSave, L"cmdSave", K::kDefaultButton, kNoContainer, L"Save",
                {3165, 5025, 1515, 435}, 5, nullptr},
    ControlSpec{S::kCmdCancel, L"cmdCancel", K::kButton, kNoContainer, L"Cancel",
                {4710, 5025, 1515, 435}, 6, nullptr},
    ControlSpec{S::kLabHeaderBkg, L"labHeaderBkg", K::kHeaderBand, kNoContainer, L"",
                {-1020, -915, 8940, 2040}, 7, nullptr},
    ControlSpec{S::kImgLogo, L"imgLogo", K::kImage, kNoContainer, L"",
                {210, 210, 720, 720}, 8, nullptr},
    ControlSpec{S::kLabTitle, L"labTitle", K::kHeaderTitle, kNoContainer, L"Application Settings",
                {1155, 150, 4800, 195}, 9, nullptr},
    ControlSpec{S::kLabBody, L"labBody", K::kHeaderLabel, kNoContainer,
                L"This window contains various settings that you can change to tailor the "
                L"application to your needs. Once you are satisfied with the changes, click on the "
                L"Save button for them to take immediate effect.",
                {1155, 345, 5070, 760}, 10, nullptr},
    ControlSpec{S::kMultiRule1, L"MultiRule1", K::kRule, kNoContainer, L"",
                {-1440, 1110, 8985, 60}, 11, nullptr},
    ControlSpec{S::kFraNetwork, L"fraNetwork", K::kFrame, kNoContainer, L"Network",
                {105, 2820, 6150, 1950}, 12, nullptr},
    ControlSpec{S::kLabNetwork, L"labNetwork", K::kLabel, kNoContainer,
                L"Enabling this will make Parvox use its own internal functions for sending a "
                L"network message to other PCs and domains, completely bypassing the Windows Net "
                L"Send command. The advantages of enabling this option are knowing if a message "
                L"was sent successfully or not, and not having to have the Messenger service "
                L"running on this machine.",
                {240, 3345, 5895, 1020}, 13, nullptr},
    ControlSpec{S::kMultiRule2, L"MultiRule2", K::kRule, kNoContainer, L"",
                {-345, 4875, 6840, 90}, 14, nullptr},
    ControlSpec{S::kLabFingerprint, L"labFingerprint", K::kLabel, kNoContainer, L"",
                {150, 5025, 2940, 435}, 15,
                L"What others see when they check that a message is yours"},
};
// clang-format on

// The check box of each option flag.
constexpr std::pair<int, SettingId> kOptionBoxes[] = {
    {S::kChkStartWithWindows, SettingId::kStartWithWindows},
    {S::kChkStartMinimised, SettingId::kStartMinimised},
    {S::kChkEscapeMinimises, SettingId::kEscapeMinimises},
    {S::kChkInternalSend, SettingId::kInternalSend},
    {S::kChkReceiveMessages, SettingId::kReceiveMessages},
};

}  // namespace

int BoolToCheckValue(bool value) { return value ? 1 : 0; }

bool SettingsDialog::Open(HWND owner, const std::wstring& keyFingerprint) {
  if (!CreateDialogForm(owner, L"ParvoxSettings", L"Settings", 6345, 5580, kSettingsLayout))
    return false;
  SetIcon(kImgLogo, IDI_APP);
  SetWindowTextW(Item(kLabFingerprint), (L"Your key's fingerprint:\r\n" + keyFingerprint).c_str());
  for (auto [box, setting] : kOptionBoxes) {
    CheckDlgButton(Handle(), box,
                   BoolToCheckValue(App().*Setting(setting).flag) ? BST_CHECKED : BST_UNCHECKED);
  }
  SetFocus(Item(kChkStartWithWindows));
  return true;
}

void SettingsDialog::Save() {
  AppState& app = App();
  if (!app.settingsRead) {
    ShowMessageBox(
        Handle(),
        L"There was an error saving the settings: \r\n\tThe settings file could not be read when "
        L"the program started, so these options are the defaults, and saving them would replace "
        L"the stored ones. Start the program again once the file can be read.",
        AppTitle(), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  // Every box is read before anything is stored, and every key stored before a flag changes.
  bool checked[std::size(kOptionBoxes)];
  for (size_t i = 0; i < std::size(kOptionBoxes); ++i)
    checked[i] = IsDlgButtonChecked(Handle(), kOptionBoxes[i].first) == BST_CHECKED;
  for (size_t i = 0; i < std::size(kOptionBoxes); ++i)
    WriteSetting(kOptionBoxes[i].second, std::to_wstring(BoolToCheckValue(checked[i])));
  for (size_t i = 0; i < std::size(kOptionBoxes); ++i)
    app.*Setting(kOptionBoxes[i].second).flag = checked[i];
  if (app.startWithWindows) {
    SetRunValue(L"Parvox", app.executablePath);
  } else {
    RemoveRunValue(L"Parvox");
  }
  EndForm();
}

void SettingsDialog::OnCommand(int id, int) {
  if (id == kCmdSave) Save();
  // Escape (IDCANCEL from the dialog keys) cancels too, as users expect of a settings box.
  if (id == kCmdCancel || id == IDCANCEL) EndForm();
}

}  // namespace parvox
