#include "Setup/Shell/finishActions.hpp"

#include "Setup/Install/fileQueries.hpp"
#include "Setup/Shell/programStart.hpp"

#include <shellapi.h>

namespace
{
// The line is read by character position; positions 1, 3 and 5 usually hold
// colons ("E:+:D:file|text") and are not looked at. Position 2 is the
// result dialog's "starts ticked" mark, not the folder.
constexpr std::size_t ActionPosition = 0;
constexpr std::size_t FolderPosition = 4;
constexpr std::size_t FilePosition = 6;

constexpr DWORD WaitPollMilliseconds = 100;

wchar_t AsciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

bool EqualsAsciiNoCase(const std::wstring &text, const std::wstring &ascii)
{
  if (text.size() != ascii.size())
    return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (AsciiUpper(text[i]) != AsciiUpper(ascii[i]))
      return false;
  return true;
}

std::wstring ReplaceAll(std::wstring text, const std::wstring &what, const std::wstring &with)
{
  for (std::size_t at = text.find(what); at != std::wstring::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
  return text;
}

} // namespace

FinishAction ParseFinishAction(const std::wstring &line)
{
  FinishAction action;
  if (line.size() > ActionPosition)
    action.action = line[ActionPosition];
  if (line.size() > FolderPosition)
    action.folder = line[FolderPosition];
  if (line.size() > FilePosition)
  {
    std::size_t bar = line.find(L'|', FilePosition);
    action.file = line.substr(FilePosition, bar == std::wstring::npos ? std::wstring::npos : bar - FilePosition);
  }
  return action;
}

std::wstring FinishActionFolder(wchar_t folder, const std::wstring &installFolder, const std::wstring &sourceFolder)
{
  switch (folder)
  {
  case L'D':
    return installFolder;
  case L'S':
    return sourceFolder;
  default:
    return std::wstring();
  }
}

std::wstring ResolveLanguageFile(const std::wstring &file, const std::wstring &folder, const std::wstring &suffix,
                                 const std::function<bool(const std::wstring &path)> &exists)
{
  static const std::wstring marker = L"%L";
  if (file.find(marker) == std::wstring::npos)
    return file;
  std::wstring localized = ReplaceAll(file, marker, suffix);
  if (exists(folder + localized))
    return localized;
  std::wstring plain = ReplaceAll(file, marker, std::wstring());
  if (exists(folder + plain))
    return plain;
  return localized;
}

ProgramLaunch BuildProgramLaunch(const std::wstring &folder, const std::wstring &file)
{
  ProgramLaunch launch;
  std::size_t blank = file.find(L' ');
  if (blank == std::wstring::npos)
  {
    launch.application = folder + file;
    return launch;
  }
  launch.application = folder + file.substr(0, blank);
  launch.commandLine = L"\"" + launch.application + L"\" " + file.substr(blank + 1);
  return launch;
}

void RunFinishAction(const std::wstring &line, const std::wstring &installFolder, const std::wstring &sourceFolder,
                     const std::wstring &languageSuffix, const std::function<void()> &createDesktopShortcuts)
{
  FinishAction action = ParseFinishAction(line);
  std::wstring folder = FinishActionFolder(action.folder, installFolder, sourceFolder);
  std::wstring file = action.file;
  // "A" names an absolute file or a keyword: no "%L" lookup for it.
  if (action.folder != L'A')
    file = ResolveLanguageFile(file, folder, languageSuffix, PathExists);
  std::wstring path = folder + file;

  switch (AsciiUpper(action.action))
  {
  case L'E':
  {
    if (action.folder == L'A')
    {
      if (EqualsAsciiNoCase(file, L"createdesktop") && createDesktopShortcuts)
        createDesktopShortcuts();
      return;
    }
    if (!folder.empty())
      SetCurrentDirectoryW(folder.c_str());
    ProgramLaunch launch = BuildProgramLaunch(folder, file);
    // Not waited for; a start that fails is not reported.
    if (HANDLE process = StartProgram(launch.application, launch.commandLine, folder))
      CloseHandle(process);
    return;
  }
  case L'O':
    ShellExecuteW(nullptr, L"open", path.c_str(), L"", folder.empty() ? nullptr : folder.c_str(), SW_SHOWNORMAL);
    return;
  case L'W':
  {
    HANDLE process = StartProgram(path, std::wstring(), std::wstring());
    if (process == nullptr)
      return;
    // No time limit: a program that never ends keeps the installer waiting.
    DWORD code = 0;
    while (GetExitCodeProcess(process, &code) && code == STILL_ACTIVE)
      Sleep(WaitPollMilliseconds);
    CloseHandle(process);
    return;
  }
  default:
    return;
  }
}
