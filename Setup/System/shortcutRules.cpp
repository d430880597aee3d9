#include "Setup/System/shortcutRules.hpp"

#include <algorithm>

#include <shlobj.h>

std::wstring LinkPath(const std::wstring &baseFolder, const std::wstring &name)
{
  std::wstring path = baseFolder;
  if (path.empty() || path.back() != L'\\')
    path += L'\\';
  std::wstring fileName = name;
  std::replace(fileName.begin(), fileName.end(), L':', L' ');
  return path + fileName + L".lnk";
}

std::wstring LinkWorkingFolder(const std::wstring &target)
{
  std::size_t last = target.find_last_of(L"\\/");
  return last == std::wstring::npos ? target : target.substr(0, last);
}

int ShortcutFolderId(bool desktop, bool allUsers)
{
  if (desktop)
    return allUsers ? CSIDL_COMMON_DESKTOPDIRECTORY : CSIDL_DESKTOPDIRECTORY;
  return allUsers ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS;
}
