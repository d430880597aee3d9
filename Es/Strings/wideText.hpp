#pragma once

#include <cstddef>
#include <string>

// Conversions between 8-bit text and wide strings (UTF-16 where wchar_t has
// 16 bits, as on Windows; UTF-32 elsewhere). The UTF-8 conversions are the
// library's own and behave the same on every platform: an invalid or
// truncated sequence becomes U+FFFD, and a wide character that cannot be
// encoded (a lone surrogate) is written as U+FFFD too.
std::wstring WideFromUtf8(const char *text, std::size_t length);
std::wstring WideFromUtf8(const std::string &text);
std::string Utf8FromWide(const wchar_t *text, std::size_t length);
std::string Utf8FromWide(const std::wstring &text);

// The system's 8-bit code page: the ANSI code page on Windows, UTF-8
// elsewhere. Characters the code page lacks become "?" (the system's choice
// on Windows).
std::string AnsiFromWide(const std::wstring &text);
std::wstring WideFromAnsi(const std::string &text);
