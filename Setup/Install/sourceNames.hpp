#pragma once

#include <string>

// Names as the script, the file list and the CRC list give them.

// The name without a final ".gz" (any letter case): a packed source is
// installed under its plain name.
std::wstring WithoutFinalGz(const std::wstring &name);
// Whether the name ends in ".gz" (any letter case): a member of that name is
// gzip data.
bool EndsWithGz(const std::wstring &name);

// Whether two names are equal, letter case aside.
bool SameNameBlind(const std::wstring &a, const std::wstring &b);

// Whether text begins with letter, either case.
bool StartsWithLetter(const std::wstring &text, wchar_t letter);
