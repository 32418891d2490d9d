// Conversion between the program's wide text and the ANSI code page, used only where text
// leaves the program: the settings file, the registry, the datagram and the NET parameters; and
// UTF-8 for the signed datagram, which carries every character.
#pragma once

#include <string>
#include <string_view>

namespace parvox {

// The code page the system uses for ANSI text.
unsigned AnsiCodePage();

// Converts through `codePage`; characters it lacks become its default character. False, with
// `out` empty, when the platform could not convert (text sent or stored must then not go out).
bool ToAnsi(std::wstring_view text, std::string& out, unsigned codePage = AnsiCodePage());
bool FromAnsi(std::string_view bytes, std::wstring& out, unsigned codePage = AnsiCodePage());

// For text that is only shown or names a fixed key: when the conversion fails, the ASCII
// characters stay and every other character becomes "?".
std::string ToAnsi(std::wstring_view text);
// For text that comes in to be shown (a received message): the same fallback the other way.
std::wstring FromAnsi(std::string_view bytes);
// The same, through UTF-8 (an unpaired surrogate becomes U+FFFD).
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view bytes);

}  // namespace parvox
