// What backup and restore need of the window they run from.
#pragma once

#include <windows.h>

#include <string>

namespace parvox {

class SettingsHost {
 public:
  virtual ~SettingsHost() = default;
  // The window that owns the folder browser and the message boxes.
  virtual HWND Owner() const = 0;
  virtual void SetStatusText(const std::wstring& text) = 0;
  // Loads what a restored settings file holds; false when it could not (the load has then said
  // why in the status text).
  virtual bool ReloadAfterRestore() = 0;
};

}  // namespace parvox
