#pragma once

#include <string>
#include <vector>

#include <windows.h>

// What the command line asks for. Only exactly one argument is looked at:
// "-debug" (any case) sets the debug flag; anything else names the module
// that holds the named data resources.
struct StartupOptions
{
  bool debug = false;
  std::wstring resourceModulePath;
};
// arguments: the program's arguments, without the program name.
StartupOptions ParseStartupOptions(const std::vector<std::wstring> &arguments);
// The program's arguments from the process's command line.
std::vector<std::wstring> ProcessArguments();

// The user's language: the stringtable column and the suffix of
// language-specific files.
struct LanguageChoice
{
  const char *name;      // "English", "German", ...
  const wchar_t *suffix; // L".german"; L"" for English
};
// From a language identifier (its primary language, the low 10 bits).
LanguageChoice ChooseLanguage(LANGID language);
