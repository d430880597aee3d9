#pragma once

#include <string>

// Folder paths as the install folder and the pages hold them.

// The path with a backslash at its end (an empty path becomes "\").
std::wstring WithBackslash(std::wstring path);

// One final backslash or slash removed when the path has at least four
// characters, so that a drive root such as "C:\" keeps its own.
std::wstring PathWithoutTrailingSeparator(const std::wstring &path);
