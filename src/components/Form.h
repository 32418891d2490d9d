// Base for every window of the program: builds the controls from a control table, gives them
// the program's fonts and tool tips, makes room for their texts, colours the header band,
// gives the keyboard back to the control that had it, and runs modally over an owner or
// modeless on its own.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <span>
#include <vector>

#include "components/ControlTable.h"
#include "components/MultiRule.h"
#include "components/TextGrowth.h"
#include "components/UniqueHandle.h"
#include "components/Window.h"

namespace parvox {

// A control's place in pixels, relative to the client area.
struct PixelBox {
  int left, top, width, height;
};

// The top-level window around the controls.
struct FormFrame {
  const wchar_t* className;
  const wchar_t* caption;
  DWORD style;
  DWORD exStyle;
  HICON icon;  // of the window class; nullptr: none
  int clientWidthTwips, clientHeightTwips;
  // Centred over it, and disabled while the form runs modally; nullptr: centred on the work area.
  HWND owner;
};

// One step of every message loop of the program, modal ones included: the form a message is for
// gets its keyboard navigation (Tab, Escape, Enter, arrow keys) first; anything else is
// translated and dispatched.
void DispatchFormMessage(MSG& message);

class Form : public Window {
 public:
  HWND Item(int id) const;
  int Dpi() const { return dpi_; }
  // Shows the form and returns when it has been closed; the owner takes no input meanwhile.
  void RunModal();

  // The modal dialogs' frame.
  static constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS;

 protected:
  // Creates the window hidden, then the controls in tab order, and grows the window for what
  // the labels' texts need.
  bool CreateForm(const FormFrame& frame, std::span<const ControlSpec> controls);
  // A modal dialog over `owner` with the dialog frame.
  bool CreateDialogForm(HWND owner, const wchar_t* className, const wchar_t* caption,
                        int clientWidthTwips, int clientHeightTwips,
                        std::span<const ControlSpec> controls);
  // Closes and destroys the form.
  void EndForm();
  // Shows the program's icon `resource` (48 x 48) in the image control `id`; the form keeps it.
  void SetIcon(int id, int resource);
  HFONT Font(bool bold) const { return bold ? boldFont_.Get() : font_.Get(); }
  // Moves the controls to `placed` (the table with other rectangles, as a resize rule makes
  // it), keeping the room made for the labels' texts.
  void PlaceControls(std::span<const ControlSpec> placed);
  // How much taller (in twips) the client area became for the labels' texts.
  int TextGrowthTwips() const { return textGrowth_; }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  virtual void OnCommand(int id, int code) = 0;
  // The button that Enter presses; 0 for none.
  virtual int DefaultButton() const { return 0; }
  // The control that gets the keyboard when the form is activated and none had it before: by
  // default the first that takes the focus.
  virtual HWND DefaultFocus() const { return firstTabStop_; }
  // For ControlKind::kCustom: the window creates the control itself (pixels, client area).
  virtual HWND CreateCustomControl(const ControlSpec& spec, const PixelBox& box);

 private:
  HWND CreateItem(const ControlSpec& control, const PixelBox& box);
  void AddToolTip(HWND control, const wchar_t* text);
  PixelBox ToPixels(const TwipRect& twips) const;
  void MakeRoomForLabels(std::span<const ControlSpec> controls, const FormFrame& frame);
  void OnActivate(bool active, bool minimised);

  HWND owner_ = nullptr;
  int dpi_ = 96;
  FontHandle font_;
  FontHandle boldFont_;
  HWND toolTips_ = nullptr;
  HWND firstTabStop_ = nullptr;
  HWND lastFocus_ = nullptr;
  std::map<int, HWND> items_;
  std::map<HWND, ControlKind> kinds_;
  std::vector<std::unique_ptr<MultiRule>> rules_;
  std::vector<IconHandle> icons_;
  std::vector<TextNeed> textNeeds_;  // twips; indices into the table the form was created from
  int textGrowth_ = 0;               // twips
};

}  // namespace parvox
