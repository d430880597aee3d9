#include "Es/Strings/wideText.hpp"

// POSIX systems have no ANSI code page of their own: file names and 8-bit
// text are UTF-8 here.
std::string AnsiFromWide(const std::wstring &text) { return Utf8FromWide(text); }

std::wstring WideFromAnsi(const std::string &text) { return WideFromUtf8(text); }
