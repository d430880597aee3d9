#pragma once

#include <string>

// Questions to the file system that the installer asks in many places.

// A file or folder of that name exists.
bool PathExists(const std::wstring &path);
// A file (not a folder) of that name exists.
bool FileExists(const std::wstring &path);
bool FolderExists(const std::wstring &path);
// The file opens for reading (it is closed again at once).
bool CanReadFile(const std::wstring &path);
