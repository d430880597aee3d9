#include "Uninstall/uninstallMain.hpp"

#include "El/Stringtable/textLookup.hpp"
#include "Es/Strings/wideText.hpp"
#include "Setup/Data/installLogFile.hpp"
#include "Setup/Install/systemFolders.hpp"
#include "Uninstall/selfRemoval.hpp"
#include "Uninstall/uninstallTexts.hpp"
#include "Uninstall/uninstaller.hpp"

#include <windows.h>

namespace
{
// At most this many remaining paths are listed in the message.
constexpr std::size_t ListedRemains = 10;

bool StartsWithBlind(const std::wstring &text, const wchar_t *prefix)
{
  std::size_t length = wcslen(prefix);
  return text.size() >= length && CompareStringOrdinal(text.c_str(), static_cast<int>(length), prefix,
                                                       static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

std::wstring OwnPath()
{
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = GetModuleFileNameW(nullptr, path.data(), MAX_PATH);
  path.resize(length < MAX_PATH ? length : 0);
  return path;
}

std::wstring FolderOf(const std::wstring &path)
{
  std::size_t cut = path.rfind(L'\\');
  return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

// The install log the installer names after the uninstall program: its
// file name with the extension made ".log".
std::wstring LogBeside(const std::wstring &program)
{
  std::size_t slash = program.rfind(L'\\');
  std::size_t dot = program.rfind(L'.');
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash))
    return program + L".log";
  return program.substr(0, dot) + L".log";
}

bool ReadWholeFile(const std::wstring &path, std::string &bytes)
{
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  LARGE_INTEGER size{};
  bool read = GetFileSizeEx(file, &size) && size.QuadPart >= 0;
  // One byte beyond the largest log is enough to refuse a larger one.
  if (read)
  {
    std::size_t wanted = static_cast<std::size_t>(
        size.QuadPart > static_cast<LONGLONG>(MaxInstallLogBytes) ? MaxInstallLogBytes + 1 : size.QuadPart);
    bytes.resize(wanted);
    DWORD got = 0;
    read = ReadFile(file, bytes.data(), static_cast<DWORD>(wanted), &got, nullptr) && got == wanted;
  }
  CloseHandle(file);
  return read;
}

std::wstring DisplayName(const std::wstring &keyName)
{
  wchar_t name[512] = {};
  DWORD size = sizeof name;
  std::wstring key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + keyName;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"DisplayName", RRF_RT_REG_SZ, nullptr, name, &size) ==
          ERROR_SUCCESS &&
      name[0] != L'\0')
    return name;
  return keyName;
}

std::wstring WithName(std::wstring text, const std::wstring &name)
{
  for (std::size_t at = text.find(L"%0"); at != std::wstring::npos; at = text.find(L"%0", at + name.size()))
    text.replace(at, 2, name);
  return text;
}

void WriteEvents(const std::wstring &path, const std::vector<std::wstring> &events)
{
  std::string text;
  for (const std::wstring &event : events)
    text += Utf8FromWide(event) + "\r\n";
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}
} // namespace

UninstallOptions ReadUninstallOptions(const std::vector<std::wstring> &arguments)
{
  UninstallOptions options;
  for (const std::wstring &argument : arguments)
  {
    if (options.finish)
      options.finishPaths.push_back(argument);
    else if (argument.size() == 2 && StartsWithBlind(argument, L"/S"))
      options.silent = true;
    else if (StartsWithBlind(argument, L"/LOG="))
      options.installLog = argument.substr(5);
    else if (StartsWithBlind(argument, L"/EVENTS="))
      options.eventLog = argument.substr(8);
    else if (StartsWithBlind(argument, L"/FINISH="))
    {
      options.finish = true;
      options.finishProcess = wcstoul(argument.c_str() + 8, nullptr, 10);
    }
    else
      options.unknown.push_back(argument);
  }
  return options;
}

int RunUninstaller(const UninstallOptions &options)
{
  if (options.finish)
    return FinishSelfRemoval(options.finishProcess, options.finishPaths);

  const std::wstring self = OwnPath();
  CUninstaller::Folders folders;
  folders.self = self;
  folders.install = FolderOf(self);
  folders.windows = WindowsFolder();
  folders.protectedFolders = SystemFolders();
  // The install folder must not stay busy as this program's current one.
  wchar_t temporary[MAX_PATH + 1] = {};
  if (GetTempPathW(MAX_PATH + 1, temporary))
    SetCurrentDirectoryW(temporary);
  LoadUninstallTexts(folders.install);

  const std::wstring logPath = options.installLog.empty() ? LogBeside(self) : options.installLog;
  std::string bytes;
  std::string error = "it cannot be opened";
  InstallLogFile log;
  if (!options.unknown.empty() || !ReadWholeFile(logPath, bytes) || !ReadInstallLogFile(bytes, log, error))
  {
    if (!options.unknown.empty())
      error = "the command line holds " + Utf8FromWide(options.unknown.front());
    if (!options.silent)
      MessageBoxW(nullptr, FormatText(UninstallText("UNINSTALL_STR_NO_LOG"), logPath, WideFromUtf8(error)).c_str(),
                  WithName(UninstallText("UNINSTALL_STR_TITLE"), L"").c_str(), MB_ICONERROR);
    return 1;
  }

  const std::wstring product = DisplayName(log.uninstallKeyName);
  const std::wstring title = WithName(UninstallText("UNINSTALL_STR_TITLE"), product);
  if (!options.silent && MessageBoxW(nullptr, WithName(UninstallText("UNINSTALL_STR_CONFIRM"), product).c_str(),
                                     title.c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES)
    return 2;

  CUninstaller uninstaller(folders);
  uninstaller.UndoRecords(log.records);
  uninstaller.RemoveUninstallKey(log.uninstallKeyName);
  DeleteFileW(logPath.c_str());
  StartSelfRemoval(self, uninstaller.FoldersAfterExit());
  if (!options.eventLog.empty())
    WriteEvents(options.eventLog, uninstaller.Events());

  const std::vector<std::wstring> &remaining = uninstaller.Remaining();
  if (remaining.empty())
  {
    if (!options.silent)
      MessageBoxW(nullptr, WithName(UninstallText("UNINSTALL_STR_DONE"), product).c_str(), title.c_str(),
                  MB_ICONINFORMATION);
    return 0;
  }
  if (!options.silent)
  {
    std::wstring list;
    for (std::size_t i = 0; i < remaining.size() && i < ListedRemains; ++i)
      list += remaining[i] + L"\n";
    if (remaining.size() > ListedRemains)
      list += L"... (" + std::to_wstring(remaining.size() - ListedRemains) + L" more)\n";
    MessageBoxW(nullptr, FormatText(WithName(UninstallText("UNINSTALL_STR_INCOMPLETE"), product), list).c_str(),
                title.c_str(), MB_ICONWARNING);
  }
  return 1;
}
