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
  std::wstring capture = TemporaryFolder() + L"unixToolOutput.txt";
  std::string file = UnixPathOf(windowsFile);
  std::string captureFile = UnixPathOf(capture);
  output = "no Linux path for the file or the capture";
  if (file.empty() || captureFile.empty())
    return false;
  // A program of the Linux side writes to the streams Wine itself was given,
  // not to handles passed to it, and Wine does not wait for it: a shell
  // sends the output to a file and renames the file once the program ended.
  std::string script = "'" + std::string(tool) + "' '" + file + "' >'" + captureFile + ".part' 2>&1; mv '" +
                       captureFile + ".part' '" + captureFile + "'";
  std::wstring commandLine = L"Z:\\bin\\sh -c \"" + WideFromUtf8(script) + L"\"";
  DeleteFileW(capture.c_str());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  output = "cannot start " + Utf8FromWide(commandLine);
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  output = "no output from " + Utf8FromWide(commandLine);
  HANDLE in = INVALID_HANDLE_VALUE;
  for (int wait = 0; wait < 600 && in == INVALID_HANDLE_VALUE; ++wait)
  {
    in = CreateFileW(capture.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE)
      Sleep(100);
  }
  if (in == INVALID_HANDLE_VALUE)
    return false;
  output.clear();
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(in, buffer, sizeof buffer, &read, nullptr) && read > 0)
    output.append(buffer, read);
  CloseHandle(in);
  DeleteFileW(capture.c_str());
  return true;
}
} // namespace e2e
