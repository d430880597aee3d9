#pragma once

#include <string>
#include <vector>

// The system's own folders, full paths without a trailing backslash: the
// Start menus, the desktops, the profile and its application data, the
// documents, the program-files folders, the Windows and system folders and
// the temporary folder. Neither a rollback nor the uninstaller removes them
// or a folder that holds one (removalRules.hpp).
std::vector<std::wstring> SystemFolders();

// The Windows folder, without a trailing backslash.
std::wstring WindowsFolder();
