#pragma once

#include <string>

// Deletes everything below path: files are made writable and deleted,
// folders are emptied and removed. Links (junctions, symbolic links) inside
// the tree are removed themselves, never followed into what they point at.
// With removeSelf the folder itself goes too. An empty path does nothing.
void DeleteFolderTree(const std::wstring &path, bool removeSelf);
