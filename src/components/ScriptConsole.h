// Standard input, output and error for a run from a console or a script, parvox.exe's although
// it is a GUI program: handles the parent passed (redirection to a file or a pipe) are used as
// they are, and the parent's console, when there is one, stands in for the others. parvox.com,
// a console program, always has all three.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace parvox {

class ScriptConsole {
 public:
  ScriptConsole();
  ~ScriptConsole();
  ScriptConsole(const ScriptConsole&) = delete;
  ScriptConsole& operator=(const ScriptConsole&) = delete;

  void Out(std::wstring_view text) { Write(out_, text); }
  void Err(std::wstring_view text) { Write(err_, text); }
  // All of standard input as text: UTF-8 or UTF-16 when it says so (or is well-formed UTF-8),
  // else in the console's code page. Nothing when there is none, or more than `limitBytes`.
  std::optional<std::wstring> ReadInput(size_t limitBytes);

 private:
  void Write(HANDLE handle, std::wstring_view text);

  HANDLE in_, out_, err_;
  HANDLE opened_[3] = {};  // the console's own handles, opened here
  bool attached_ = false;
};

}  // namespace parvox
