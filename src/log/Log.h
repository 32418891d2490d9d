// The program's log: one modeless window for the whole run, its text the only record.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace parvox {

// Loads the window hidden with an empty log; does nothing if it is already loaded.
void LoadLogWindow();
// Destroys the window and its text.
void UnloadLogWindow();
// Adds `text` as a line; with `show` the window comes up, otherwise its visibility stays.
// Loads an empty window first if none is loaded.
void AppendLog(bool show, const std::wstring& text);
// Where the lines go instead of the window, for a run that opens none (a script's send); an
// empty function gives them back to the window.
void RedirectLog(std::function<void(const std::wstring& text)> sink);
// The "Log" menu entry: shows the window with no owner, loading it first if need be.
void ShowLogWindow();
// The log as shown, each line ending in CR LF; empty when no window is loaded.
std::wstring LogText();
// For the message loop's IsDialogMessage; nullptr when no window is loaded.
HWND LogWindowHandle();

}  // namespace parvox
