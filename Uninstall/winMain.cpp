#include "Uninstall/uninstallMain.hpp"

#include <windows.h>

#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
  std::vector<std::wstring> arguments;
  int count = 0;
  if (LPWSTR *list = CommandLineToArgvW(GetCommandLineW(), &count))
  {
    for (int i = 1; i < count; ++i)
      arguments.emplace_back(list[i]);
    LocalFree(list);
  }
  return RunUninstaller(ReadUninstallOptions(arguments));
}
