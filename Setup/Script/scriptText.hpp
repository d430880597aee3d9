#pragma once

#include <span>
#include <string>

// Reads a whole file; false when it is missing, cannot be read, or is larger
// than maxBytes (a text the installer reads is small; a huge one is refused
// rather than loaded).
bool ReadWholeFile(const std::wstring &name, std::string &bytes, std::size_t maxBytes);

// The largest setup.dat or wizard text read.
inline constexpr std::size_t MaxTextFileSize = 64u << 20;
