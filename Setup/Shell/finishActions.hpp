#pragma once

#include <functional>
#include <string>

#include <windows.h>

// One finish-action line of the script, read by character position: the
// action letter (position 0), the folder letter (position 4), the file from
// position 6 up to "|" or the end. Positions beyond a short line read as empty.
struct FinishAction
{
  wchar_t action = 0;
  wchar_t folder = 0;
  std::wstring file;
};
FinishAction ParseFinishAction(const std::wstring &line);

// The folder a finish action's file is taken from: the install folder for
// "D", the source folder for "S", none for anything else.
std::wstring FinishActionFolder(wchar_t folder, const std::wstring &installFolder, const std::wstring &sourceFolder);

// The "%L" rule: the name with "%L" replaced by the language suffix when
// that file exists under folder, else with "%L" removed when that exists,
// else the first name. A name without "%L" is answered unchanged.
std::wstring ResolveLanguageFile(const std::wstring &file, const std::wstring &folder, const std::wstring &suffix,
                                 const std::function<bool(const std::wstring &path)> &exists);

// How an "E" action starts its program: a file with a blank is a program and
// its arguments, started with the command line "\"<folder><program>\" <args>";
// without a blank the command line is empty.
struct ProgramLaunch
{
  std::wstring application;
  std::wstring commandLine;
};
ProgramLaunch BuildProgramLaunch(const std::wstring &folder, const std::wstring &file);

// Runs one ticked action. createDesktopShortcuts is called for "E" with
// folder letter "A" and the file "createdesktop" (any case).
void RunFinishAction(const std::wstring &line, const std::wstring &installFolder, const std::wstring &sourceFolder,
                     const std::wstring &languageSuffix, const std::function<void()> &createDesktopShortcuts);
