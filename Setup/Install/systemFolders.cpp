#include "Setup/Install/systemFolders.hpp"

#include "Setup/Install/folderPaths.hpp"

#include <windows.h>

#include <shlobj.h>

namespace
{
std::wstring SpecialFolder(int id)
{
  wchar_t path[MAX_PATH] = {};
  return SUCCEEDED(SHGetFolderPathW(nullptr, id, nullptr, 0, path)) ? PathWithoutTrailingSeparator(path)
                                                                    : std::wstring();
}
} // namespace

std::vector<std::wstring> SystemFolders()
{
  std::vector<std::wstring> folders;
  for (int id : {CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS, CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU, CSIDL_DESKTOPDIRECTORY,
                 CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_PROFILE, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_COMMON_APPDATA,
                 CSIDL_PERSONAL, CSIDL_COMMON_DOCUMENTS, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86,
                 CSIDL_PROGRAM_FILES_COMMON, CSIDL_WINDOWS, CSIDL_SYSTEM})
  {
    std::wstring folder = SpecialFolder(id);
    if (!folder.empty())
      folders.push_back(folder);
  }
  wchar_t temporary[MAX_PATH + 1] = {};
  DWORD length = GetTempPathW(MAX_PATH + 1, temporary);
  if (length > 0 && length <= MAX_PATH)
    folders.push_back(PathWithoutTrailingSeparator(std::wstring(temporary, length)));
  return folders;
}

std::wstring WindowsFolder()
{
  std::wstring folder = SpecialFolder(CSIDL_WINDOWS);
  return folder.empty() ? L"C:\\Windows" : folder;
}
