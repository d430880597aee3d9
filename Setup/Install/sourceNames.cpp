#include "Setup/Install/sourceNames.hpp"

#include <cwctype>

#include <windows.h>

bool EndsWithGz(const std::wstring &name)
{
  return name.size() >= 3 && SameNameBlind(name.substr(name.size() - 3), L".gz");
}

std::wstring WithoutFinalGz(const std::wstring &name)
{
  return EndsWithGz(name) ? name.substr(0, name.size() - 3) : name;
}

bool SameNameBlind(const std::wstring &a, const std::wstring &b)
{
  return a.size() == b.size() && CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                                      static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool StartsWithLetter(const std::wstring &text, wchar_t letter)
{
  return !text.empty() && std::towupper(text[0]) == std::towupper(letter);
}
