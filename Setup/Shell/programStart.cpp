#include "Setup/Shell/programStart.hpp"

HANDLE StartProgram(const std::wstring &application, std::wstring commandLine, const std::wstring &workingFolder)
{
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  // CreateProcessW may write into the command line, so it gets our own copy.
  if (!CreateProcessW(application.c_str(), commandLine.empty() ? nullptr : commandLine.data(), nullptr, nullptr, FALSE,
                      ProgramCreationFlags, nullptr, workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup,
                      &process))
    return nullptr;
  CloseHandle(process.hThread);
  return process.hProcess;
}

DWORD WaitForProgram(HANDLE process)
{
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return code;
}
