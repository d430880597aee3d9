#include "Setup/Install/folderPaths.hpp"

std::wstring WithBackslash(std::wstring path)
{
  if (path.empty() || path.back() != L'\\')
    path += L'\\';
  return path;
}

std::wstring PathWithoutTrailingSeparator(const std::wstring &path)
{
  if (path.size() >= 4 && (path.back() == L'\\' || path.back() == L'/'))
    return path.substr(0, path.size() - 1);
  return path;
}
