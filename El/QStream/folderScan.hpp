#pragma once

#include <string>

// Lists the entries of a folder ("." and ".." left out), the stream library's
// seam to directory enumeration. The callback answers false to stop early.
// Symbolic links are reported as files, never as folders, so a recursive walk
// cannot loop. Answers false when the folder cannot be read.
using FolderEntryCallback = bool (*)(const char *name, bool isFolder, void *context);
bool ScanFolder(const char *folder, FolderEntryCallback callback, void *context);

// Creates a folder and any missing folders above it; true when it exists
// afterwards. Both "\" and "/" separate names.
bool CreateFolders(const char *path);

// The name as the C runtime's file functions want it on this system.
std::string NativeFileName(const char *name);
