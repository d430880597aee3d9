#pragma once

#include <string>
#include <vector>

// What undoing an install log may touch, judged from a record's path alone.
// A log the uninstaller reads is outside data: whoever could write it could
// name any path, so every path is judged before anything is done with it.
// The system's own folders are recorded too (a link made inside them records
// every folder on its way) and must never go, even when they are empty.

enum class PathVerdict
{
  Allowed,
  // Not of the form "X:\name...": relative, UNC or device paths, "." or ".."
  // parts, a colon past the drive's (a stream), wildcards, empty parts.
  NotAPlainPath,
  // "X:\" itself.
  DriveRoot,
  // The Windows folder or anything in it.
  UnderWindows,
  // One of the system's own folders (the Start menu, the desktop, the
  // profiles), or a folder that holds one. A link made inside them records
  // them, but they are not the product's to remove.
  SystemFolder
};

// protectedFolders: full paths without trailing backslash.
PathVerdict JudgePath(const std::wstring &path, const std::wstring &windowsFolder,
                      const std::vector<std::wstring> &protectedFolders);

// Whether path is folder or lies below it, letter case aside.
bool IsWithin(const std::wstring &path, const std::wstring &folder);

// A record "key:value" of the current user's root, cut at its first colon.
// False when there is no colon or the key is empty.
bool SplitValueRecord(const std::wstring &text, std::wstring &key, std::wstring &value);

// Whether a registry key path of a record can be acted on: not empty, no
// empty part, no leading or trailing backslash.
bool IsPlainKeyPath(const std::wstring &key);

// Whether an uninstall key name (the log's first line) names one key right
// below the system's list of installed programs.
bool IsPlainKeyName(const std::wstring &name);
