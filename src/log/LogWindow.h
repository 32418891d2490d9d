// The modeless log window: a header, the read-only log text and the Clear and Close buttons.
// Log owns the one instance; this class only builds and runs the window.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "components/MultiRule.h"
#include "components/UniqueHandle.h"
#include "components/Window.h"
#include "log/LogLayout.h"

namespace parvox {

class LogWindow : public Window {
 public:
  ~LogWindow() override;

  // Creates the window hidden, with an empty log and its controls laid out.
  bool Create();

  // Adds `text` and a line break at the end, and scrolls to it; the text box takes the line
  // once the current turn of the message loop is over (Text and Show see it at once).
  void Append(const std::wstring& text);
  void Clear();
  std::wstring Text();
  // Brings the window up, restored if it was minimised; it has no owner.
  void Show();
  void Hide();
  HWND Control(LogControlId id) const;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void CreateFonts();
  void CreateLogo();
  void CreateControls();
  HWND CreateControl(const LogControlSpec& spec);
  void AddToolTip(HWND control, const wchar_t* text);
  void Layout();
  LRESULT OnCommand(WORD id, WORD code);
  LRESULT OnControlColour(HDC dc, HWND control);
  void OnActivate(bool active);
  void TakePendingLines();

  using BitmapHandle = UniqueHandle<HBITMAP, DeleteGdiObject>;

  int dpi_ = 96;
  int titleWidth_ = 0;  // pixels the title's text needs
  FontHandle font_;
  FontHandle boldFont_;
  BitmapHandle logo_;
  HWND toolTips_ = nullptr;
  HWND lastFocus_ = nullptr;
  MultiRule ruleTop_;
  MultiRule ruleBottom_;
  std::map<LogControlId, HWND> controls_;
  std::wstring pending_;  // appended lines the text box has not taken yet
};

}  // namespace parvox
