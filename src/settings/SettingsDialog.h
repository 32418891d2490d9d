// The settings dialog: the five options, saved to the settings file and applied at once.
#pragma once

#include <string>

#include "components/Form.h"

namespace parvox {

class SettingsDialog : public Form {
 public:
  enum ItemId : int {
    kChkStartWithWindows = 100,
    kChkStartMinimised,
    kChkEscapeMinimises,
    kChkInternalSend,
    kCmdSave,
    kCmdCancel,
    kLabHeaderBkg,
    kImgLogo,
    kLabTitle,
    kLabBody,
    kMultiRule1,
    kFraNetwork,
    kLabNetwork,
    kMultiRule2,
    kChkReceiveMessages,
    kLabFingerprint,
  };

  // `keyFingerprint` is the user's own, shown for comparing with colleagues.
  bool Open(HWND owner, const std::wstring& keyFingerprint);

 protected:
  void OnCommand(int id, int code) override;
  int DefaultButton() const override { return kCmdSave; }

 private:
  void Save();
};

// 1 for true, 0 for false: the check box value and the stored text of an option.
int BoolToCheckValue(bool value);

}  // namespace parvox
