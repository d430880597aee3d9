#include "El/QStream/folderScan.hpp"

#include <dirent.h>
#include <sys/stat.h>

#include <string>

bool ScanFolder(const char *folder, FolderEntryCallback callback, void *context)
{
  // Names use "\" inside the library; the file system wants "/".
  std::string path = folder && *folder ? folder : ".";
  for (char &c : path)
    if (c == '\\')
      c = '/';
  DIR *dir = opendir(path.c_str());
  if (!dir)
    return false;
  while (dirent *entry = readdir(dir))
  {
    std::string name = entry->d_name;
    if (name == "." || name == "..")
      continue;
    struct stat info;
    bool isFolder = lstat((path + "/" + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    if (!callback(name.c_str(), isFolder, context))
      break;
  }
  closedir(dir);
  return true;
}

std::string NativeFileName(const char *name)
{
  std::string path = name ? name : "";
  for (char &c : path)
    if (c == '\\')
      c = '/';
  return path;
}

bool CreateFolders(const char *path)
{
  std::string native = NativeFileName(path);
  for (std::size_t at = 1; at <= native.size(); ++at)
  {
    if (at < native.size() && native[at] != '/')
      continue;
    std::string part = native.substr(0, at);
    mkdir(part.c_str(), 0777);
  }
  struct stat info;
  return stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
