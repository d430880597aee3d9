#include "El/QStream/folderScan.hpp"

#include <windows.h>

#include <string>

bool ScanFolder(const char *folder, FolderEntryCallback callback, void *context)
{
  std::string pattern = folder && *folder ? folder : ".";
  if (pattern.back() != '\\' && pattern.back() != '/')
    pattern += '\\';
  pattern += "*.*";
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return false;
  do
  {
    std::string name = found.cFileName;
    if (name == "." || name == "..")
      continue;
    // A junction or link to a folder is not walked into.
    bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                    (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    if (!callback(name.c_str(), isFolder, context))
      break;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return true;
}

std::string NativeFileName(const char *name) { return name ? name : ""; }

bool CreateFolders(const char *path)
{
  std::string native = path ? path : "";
  for (std::size_t at = 1; at <= native.size(); ++at)
  {
    if (at < native.size() && native[at] != '\\' && native[at] != '/')
      continue;
    std::string part = native.substr(0, at);
    // A drive ("C:") is not a folder to create.
    if (part.size() == 2 && part[1] == ':')
      continue;
    CreateDirectoryA(part.c_str(), nullptr);
  }
  DWORD attributes = GetFileAttributesA(native.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
