#pragma once

#include <string>

// Where a shortcut goes and what it points at, computed without the shell.

// The link file: the base folder, a backslash when it has none at its end,
// the shortcut's name with every colon made a blank (a colon cannot stand in
// a file name; the name may hold backslashes, which make sub-folders), and
// ".lnk".
std::wstring LinkPath(const std::wstring &baseFolder, const std::wstring &name);

// The link's working folder: the target without its last part (cut at the
// last backslash or slash). A target with neither keeps its whole text.
std::wstring LinkWorkingFolder(const std::wstring &target);

// The special folder (CSIDL) that a shortcut step starts from: the common or
// the user's programs folder for the Start menu, the common or the user's
// desktop folder for the desktop.
int ShortcutFolderId(bool desktop, bool allUsers);
