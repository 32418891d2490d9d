// Base for the program's dialogs: builds the controls from a layout table, gives them the
// dialog font and tool tips, and runs modally over an owner.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <span>
#include <vector>

#include "components/FormLayout.h"
#include "components/MultiRule.h"
#include "components/UniqueHandle.h"
#include "components/Window.h"

namespace parvox {

class Form : public Window {
 public:
  HWND Item(int id) const;
  // Shows the dialog and returns when it has been closed; the owner takes no input meanwhile.
  void RunModal();

 protected:
  // Creates the window, centred over `owner`, with the controls in table order (which is the
  // tab order of those that take the focus).
  bool CreateForm(HWND owner, const wchar_t* className, const wchar_t* caption, int widthTwips,
                  int heightTwips, std::span<const FormControl> controls);
  // Closes and destroys the dialog.
  void EndForm();
  void SetIcon(int id, HICON icon);
  int Dpi() const { return dpi_; }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  virtual void OnCommand(int id, int code) = 0;
  // The button that Enter presses; 0 for none.
  virtual int DefaultButton() const { return 0; }

 private:
  HWND CreateItem(const FormControl& control);
  void AddToolTip(HWND control, const wchar_t* text);

  HWND owner_ = nullptr;
  int dpi_ = 96;
  FontHandle font_;
  FontHandle boldFont_;
  HWND toolTips_ = nullptr;
  std::map<int, HWND> items_;
  std::map<HWND, FormKind> kinds_;
  std::vector<std::unique_ptr<MultiRule>> rules_;
};

}  // namespace parvox
