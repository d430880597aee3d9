#include "Uninstall/selfRemoval.hpp"

#include "Setup/Install/removalRules.hpp"
#include "Setup/Install/systemFolders.hpp"

#include <windows.h>

namespace
{
constexpr DWORD ParentWaitMilliseconds = 60000;
constexpr int Attempts = 50;
constexpr DWORD RetryMilliseconds = 100;

std::wstring Quoted(const std::wstring &text) { return L"\"" + text + L"\""; }

} // namespace

bool StartSelfRemoval(const std::wstring &self, const std::vector<std::wstring> &folders)
{
  wchar_t temporary[MAX_PATH + 1] = {};
  DWORD length = GetTempPathW(MAX_PATH + 1, temporary);
  if (length == 0 || length > MAX_PATH)
    return false;
  std::wstring copy =
      std::wstring(temporary, length) + L"uninstall-" + std::to_wstring(GetCurrentProcessId()) + L".exe";
  if (!CopyFileW(self.c_str(), copy.c_str(), FALSE))
    return false;
  std::wstring commandLine = Quoted(copy) + L" /FINISH=" + std::to_wstring(GetCurrentProcessId()) + L" " + Quoted(self);
  for (const std::wstring &folder : folders)
    commandLine += L" " + Quoted(folder);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE, nullptr,
                      std::wstring(temporary, length).c_str(), &startup, &process))
  {
    DeleteFileW(copy.c_str());
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

int FinishSelfRemoval(unsigned long processId, const std::vector<std::wstring> &paths)
{
  if (HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, processId))
  {
    WaitForSingleObject(parent, ParentWaitMilliseconds);
    CloseHandle(parent);
  }
  // The same rules as for the log's records: this program may be started by
  // anybody with any arguments.
  const std::wstring windows = WindowsFolder();
  bool complete = true;
  for (std::size_t i = 0; i < paths.size(); ++i)
  {
    if (JudgePath(paths[i], windows, {}) != PathVerdict::Allowed)
    {
      complete = false;
      continue;
    }
    bool gone = false;
    for (int attempt = 0; attempt < Attempts && !gone; ++attempt)
    {
      gone = i == 0 ? DeleteFileW(paths[i].c_str()) != 0 : RemoveDirectoryW(paths[i].c_str()) != 0;
      if (!gone && GetFileAttributesW(paths[i].c_str()) == INVALID_FILE_ATTRIBUTES)
        gone = true;
      // A folder that holds someone else's files never empties.
      if (!gone && i > 0 && GetLastError() == ERROR_DIR_NOT_EMPTY)
        break;
      if (!gone)
        Sleep(RetryMilliseconds);
    }
    complete = complete && (gone || i > 0);
  }
  wchar_t own[MAX_PATH] = {};
  if (GetModuleFileNameW(nullptr, own, MAX_PATH) > 0)
    MoveFileExW(own, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return complete ? 0 : 1;
}
