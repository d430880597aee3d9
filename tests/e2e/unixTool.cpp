#include "tests/e2e/unixTool.hpp"

#include "tests/e2e/setupDriver.hpp"

#include "Es/Strings/wideText.hpp"

#include <windows.h>

namespace e2e
{
namespace
{
// Wine's own export: the Linux path of a Windows one, allocated on the
// process heap.
using UnixNameFunction = char *(CDECL *)(const wchar_t *path);

std::string UnixPathOf(const std::wstring &path)
{
  auto unixName = reinterpret_cast<UnixNameFunction>(
      reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!unixName)
    return {};
  char *name = unixName(path.c_str());
  if (!name)
    return {};
  std::string result = name;
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}
} // namespace

bool RunUnixTool(const char *tool, const std::wstring &windowsFile, std::string &output)
{
  std::string file = UnixPathOf(windowsFile);
  if (file.empty())
    return false;
  std::wstring capture = TemporaryFolder() + L"unixToolOutput.txt";
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE out = CreateFileW(capture.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE)
    return false;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out;
  startup.hStdError = out;
  std::wstring commandLine = WindowsPathFromBuild(tool) + L" \"" + WideFromUtf8(file) + L"\"";
  PROCESS_INFORMATION process{};
  bool started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                &process) != FALSE;
  CloseHandle(out);
  if (started)
  {
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  HANDLE in = CreateFileW(capture.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  output.clear();
  if (in != INVALID_HANDLE_VALUE)
  {
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(in, buffer, sizeof buffer, &read, nullptr) && read > 0)
      output.append(buffer, read);
    CloseHandle(in);
  }
  DeleteFileW(capture.c_str());
  return started;
}
} // namespace e2e
