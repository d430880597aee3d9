#include "Setup/Install/removalRules.hpp"

#include <windows.h>

namespace
{
bool SameText(const std::wstring &a, std::size_t length, const std::wstring &b)
{
  return length == b.size() && CompareStringOrdinal(a.c_str(), static_cast<int>(length), b.c_str(),
                                                    static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool IsPlainPath(const std::wstring &path)
{
  if (path.size() < 4 || !iswalpha(path[0]) || path[1] != L':' || path[2] != L'\\')
    return false;
  if (path.find_first_of(L":*?\"<>|/", 2) != std::wstring::npos)
    return false;
  // Every part between backslashes names something: no empty part, no "."
  // or "..".
  std::size_t start = 3;
  for (;;)
  {
    std::size_t end = path.find(L'\\', start);
    std::wstring part = path.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    if (part.empty() || part == L"." || part == L"..")
      return false;
    if (end == std::wstring::npos)
      return true;
    start = end + 1;
  }
}
} // namespace

bool IsWithin(const std::wstring &path, const std::wstring &folder)
{
  if (folder.empty() || path.size() < folder.size())
    return false;
  if (!SameText(path, folder.size(), folder))
    return false;
  return path.size() == folder.size() || path[folder.size()] == L'\\' || folder.back() == L'\\';
}

PathVerdict JudgePath(const std::wstring &path, const std::wstring &windowsFolder,
                      const std::vector<std::wstring> &protectedFolders)
{
  if (path.size() == 3 && path[1] == L':' && path[2] == L'\\')
    return PathVerdict::DriveRoot;
  if (!IsPlainPath(path))
    return PathVerdict::NotAPlainPath;
  if (IsWithin(path, windowsFolder))
    return PathVerdict::UnderWindows;
  for (const std::wstring &folder : protectedFolders)
    if (IsWithin(folder, path))
      return PathVerdict::SystemFolder;
  return PathVerdict::Allowed;
}

bool SplitValueRecord(const std::wstring &text, std::wstring &key, std::wstring &value)
{
  std::size_t colon = text.find(L':');
  if (colon == std::wstring::npos || colon == 0)
    return false;
  key = text.substr(0, colon);
  value = text.substr(colon + 1);
  return true;
}

bool IsPlainKeyPath(const std::wstring &key)
{
  return !key.empty() && key.front() != L'\\' && key.back() != L'\\' && key.find(L"\\\\") == std::wstring::npos;
}

bool IsPlainKeyName(const std::wstring &name) { return !name.empty() && name.find(L'\\') == std::wstring::npos; }
