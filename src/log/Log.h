// The program's log sink: every part that reports to the user writes its lines here. The window
// program shows them in its log window (LogWindow.h); the console program hands them on.
#pragma once

#include <functional>
#include <string>

namespace parvox {

// Adds `text` as a line; with `show` the log window comes up, where there is one.
void AppendLog(bool show, const std::wstring& text);
// Where the lines go instead of the window, for a run that opens none (a script's send); an
// empty function gives them back to the window.
void RedirectLog(std::function<void(const std::wstring& text)> sink);

}  // namespace parvox
