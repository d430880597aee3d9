#pragma once

#include <string>

#include <windows.h>

// The creation flags of every program the installer starts.
inline constexpr DWORD ProgramCreationFlags = CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS;

// Starts application with commandLine (empty: none) in workingFolder (empty:
// the installer's own). Answers the process handle, the thread handle
// already closed, or null when the start failed (GetLastError says why).
HANDLE StartProgram(const std::wstring &application, std::wstring commandLine, const std::wstring &workingFolder);

// Waits for the process without limit and answers its exit code; the handle
// is closed.
DWORD WaitForProgram(HANDLE process);
