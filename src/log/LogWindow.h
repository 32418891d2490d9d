// The modeless log window: a header, the read-only log text and the Clear and Close buttons.
// Log owns the one instance; this class only builds and runs the window.
#pragma once

#include <windows.h>

#include <deque>
#include <string>

#include "components/Form.h"
#include "components/UniqueHandle.h"
#include "log/LogLayout.h"

namespace parvox {

class LogWindow : public Form {
 public:
  ~LogWindow() override;

  // Creates the window hidden, with an empty log and its controls laid out.
  bool Create();

  // Adds `text` and a line break at the end, and scrolls to it; the text box takes the line
  // once the current turn of the message loop is over (Text and Show see it at once). The log
  // keeps at most kMaxLogChars: past that the oldest lines go, and one line at the top says so.
  void Append(const std::wstring& text);
  static constexpr size_t kMaxLogChars = 1000000;
  void Clear();
  std::wstring Text();
  // Brings the window up, restored if it was minimised; it has no owner.
  void Show();
  void Hide();
  HWND Control(int id) const { return Item(id); }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnCommand(int id, int code) override;

 private:
  void CreateLogo();
  void Layout();
  // At most `most` characters of whole lines now, the rest on the next turns.
  void TakePendingLines(size_t most = SIZE_MAX);
  void DropOldestLines(HWND box);

  BitmapHandle logo_;
  std::wstring pending_;          // appended lines the text box has not taken yet
  size_t shownChars_ = 0;         // what the text box holds
  std::deque<size_t> lineChars_;  // the length of each appended line still held, oldest first
  size_t markerChars_ = 0;        // the line that says older lines were removed, once there is one
};

// The one log window of the run, which AppendLog fills when no sink is set.
// Loads the window hidden with an empty log; does nothing if it is already loaded.
void LoadLogWindow();
// Destroys the window and its text.
void UnloadLogWindow();
// The "Log" menu entry: shows the window with no owner, loading it first if need be.
void ShowLogWindow();
// The log as shown, each line ending in CR LF; empty when no window is loaded.
std::wstring LogText();
// For the message loop's IsDialogMessage; nullptr when no window is loaded.
HWND LogWindowHandle();

}  // namespace parvox
