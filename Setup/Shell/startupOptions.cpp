#include "Setup/Shell/startupOptions.hpp"

#include <shellapi.h>

namespace
{
// "-debug" is plain ASCII, so an ASCII-only fold is exact and does not
// depend on the user's locale.
bool EqualsAsciiNoCase(const std::wstring &text, const wchar_t *ascii)
{
  std::size_t i = 0;
  for (; ascii[i] != L'\0'; ++i)
  {
    if (i >= text.size())
      return false;
    wchar_t a = text[i];
    wchar_t b = ascii[i];
    if (a >= L'A' && a <= L'Z')
      a = static_cast<wchar_t>(a - L'A' + L'a');
    if (b >= L'A' && b <= L'Z')
      b = static_cast<wchar_t>(b - L'A' + L'a');
    if (a != b)
      return false;
  }
  return i == text.size();
}
} // namespace

StartupOptions ParseStartupOptions(const std::vector<std::wstring> &arguments)
{
  StartupOptions options;
  if (arguments.size() != 1)
    return options;
  if (EqualsAsciiNoCase(arguments.front(), L"-debug"))
    options.debug = true;
  else
    options.resourceModulePath = arguments.front();
  return options;
}

std::vector<std::wstring> ProcessArguments()
{
  std::vector<std::wstring> arguments;
  int count = 0;
  LPWSTR *list = CommandLineToArgvW(GetCommandLineW(), &count);
  if (list == nullptr)
    return arguments;
  // The first entry is the program itself.
  for (int i = 1; i < count; ++i)
    arguments.emplace_back(list[i]);
  LocalFree(list);
  return arguments;
}

LanguageChoice ChooseLanguage(LANGID language)
{
  switch (PRIMARYLANGID(language))
  {
  case LANG_CZECH:
    return {"Czech", L".czech"};
  case LANG_GERMAN:
    return {"German", L".german"};
  case LANG_SPANISH:
    return {"Spanish", L".spanish"};
  case LANG_FRENCH:
    return {"French", L".french"};
  case LANG_ITALIAN:
    return {"Italian", L".italian"};
  case LANG_POLISH:
    return {"Polish", L".polish"};
  case LANG_RUSSIAN:
    return {"Russian", L".russian"};
  default:
    return {"English", L""};
  }
}
