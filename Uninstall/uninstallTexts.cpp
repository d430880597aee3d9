#include "Uninstall/uninstallTexts.hpp"

#include "El/PreprocC/preprocessorFunctions.hpp"
#include "El/Stringtable/stringTable.hpp"
#include "El/Stringtable/stringtableLoader.hpp"
#include "El/Stringtable/textLookup.hpp"
#include "Es/Strings/wideText.hpp"
#include "Setup/Shell/startupOptions.hpp"

#include <windows.h>

namespace
{
struct EnglishText
{
  const char *key;
  const wchar_t *text;
};
const EnglishText English[] = {
    {"UNINSTALL_STR_TITLE", L"Uninstall %0"},
    {"UNINSTALL_STR_CONFIRM", L"Do you want to remove %0 and all of its parts?"},
    {"UNINSTALL_STR_DONE", L"%0 has been removed."},
    {"UNINSTALL_STR_INCOMPLETE", L"%0 could not be removed completely. These remain:\n\n%1"},
    {"UNINSTALL_STR_NO_LOG", L"The install log %1 cannot be read: %2."},
};
} // namespace

void LoadUninstallTexts(const std::wstring &installFolder)
{
  std::wstring table = installFolder + L"\\setup.csv";
  if (GetFileAttributesW(table.c_str()) == INVALID_FILE_ATTRIBUTES)
    return;
  static CPreprocessorFunctions preprocessor;
  SetPreprocessorFunctions(&preprocessor);
  SetStringtableLanguage(ChooseLanguage(GetUserDefaultLangID()).name);
  LoadStringtable("global", AnsiFromWide(table).c_str(), 0.0f, true);
}

std::wstring UninstallText(const char *key)
{
  if (GStringTables().Find(key, true))
    return LocalizeKey(WideFromUtf8(key));
  for (const EnglishText &text : English)
    if (std::string(text.key) == key)
      return text.text;
  return WideFromUtf8(key);
}
