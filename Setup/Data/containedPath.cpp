#include "Setup/Data/containedPath.hpp"

#include <string_view>

namespace
{
bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDeviceName(const std::wstring &component)
{
  std::wstring stem = component.substr(0, component.find(L'.'));
  while (!stem.empty() && stem.back() == L' ')
    stem.pop_back();
  for (wchar_t &c : stem)
    if (c >= L'a' && c <= L'z')
      c = static_cast<wchar_t>(c - L'a' + L'A');
  if (stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"NUL" || stem == L"CONIN$" || stem == L"CONOUT$")
    return true;
  return stem.size() == 4 && (stem.starts_with(L"COM") || stem.starts_with(L"LPT")) && stem[3] >= L'1' &&
         stem[3] <= L'9';
}
} // namespace

bool CannotStandInFileName(wchar_t c)
{
  return c < 0x20 || std::wstring_view(L"<>:\"/\\|?*").find(c) != std::wstring_view::npos;
}

bool IsContainedRelativePath(const std::wstring &name)
{
  if (name.empty() || IsSeparator(name.front()) || IsSeparator(name.back()))
    return false;
  std::size_t start = 0;
  for (;;)
  {
    std::size_t end = start;
    while (end < name.size() && !IsSeparator(name[end]))
      ++end;
    std::wstring component = name.substr(start, end - start);
    if (component.find_first_not_of(L". ") == std::wstring::npos)
      return false;
    for (wchar_t c : component)
      if (CannotStandInFileName(c))
        return false;
    if (IsDeviceName(component))
      return false;
    if (end == name.size())
      return true;
    start = end + 1;
  }
}
