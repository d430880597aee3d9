#include "Setup/Install/deleteFolderTree.hpp"

#include <windows.h>

#include <vector>

namespace
{
// Removes one entry that needs no walking: a file, or a link (to a file or a
// folder) whose target is left alone. Read-only entries refuse deletion, so
// they are made writable first.
void RemoveEntry(const std::wstring &path, DWORD attributes)
{
  if (attributes & FILE_ATTRIBUTE_READONLY)
    SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  if (attributes & FILE_ATTRIBUTE_DIRECTORY)
    RemoveDirectoryW(path.c_str());
  else
    DeleteFileW(path.c_str());
}

void RemoveFolder(const std::wstring &path)
{
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(path.c_str());
}

// Deletes the files and links directly in folder and appends its real
// subfolders to folders.
void EmptyFolder(const std::wstring &folder, std::vector<std::wstring> &folders)
{
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*.*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return;
  do
  {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L"..")
      continue;
    std::wstring path = folder + L"\\" + name;
    DWORD attributes = found.dwFileAttributes;
    // A junction or symbolic link to a folder carries both flags: it is
    // removed as it stands, never entered.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
      folders.push_back(path);
    else
      RemoveEntry(path, attributes);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}
} // namespace

void DeleteFolderTree(const std::wstring &path, bool removeSelf)
{
  if (path.empty())
    return;
  std::wstring root = path;
  // A trailing separator goes, except the one of a drive root: "C:" alone
  // would mean the drive's current folder.
  while (root.size() > 1 && (root.back() == L'\\' || root.back() == L'/') && !(root.size() == 3 && root[1] == L':'))
    root.pop_back();

  DWORD attributes = GetFileAttributesW(root.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
  {
    // The folder itself is a link: what it points at is not ours to empty.
    if (removeSelf)
      RemoveEntry(root, attributes);
    return;
  }

  // Walked with a list rather than by recursion, so a deep tree cannot
  // exhaust the stack. Every folder comes after the folder holding it, so
  // removing them back to front removes each one once it is empty.
  std::vector<std::wstring> folders{root};
  for (std::size_t i = 0; i < folders.size(); ++i)
  {
    std::wstring folder = folders[i];
    EmptyFolder(folder, folders);
  }
  for (std::size_t i = folders.size(); i-- > 1;)
    RemoveFolder(folders[i]);
  if (removeSelf)
    RemoveFolder(root);
}
