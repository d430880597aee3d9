// A stand-in for the DirectX setup library: it installs nothing. What it
// answers comes from "dsetup.txt" beside it ("key value" lines):
//   version     the version handed out (default 0x40009)
//   revision    the revision handed out (default 0x904)
//   getversion  what DirectXSetupGetVersion returns (default 1; 0 is a
//               failure and leaves the caller's values alone)
//   setup       what DirectXSetupA returns (default 0)
// Every call is a line in "dsetupCalls.txt" beside it (or where
// STANDIN_RECORDS says).
#include "Standins/Common/standinFiles.hpp"

#include <windows.h>

#include <cstdio>

namespace
{
standin::Settings Settings() { return standin::ReadSettings(standin::FileBeside(L"dsetup.txt")); }

void Record(const std::string &line) { standin::AppendLine(standin::RecordFile(L"dsetupCalls.txt"), line); }
} // namespace

extern "C" __declspec(dllexport) INT WINAPI DirectXSetupGetVersion(DWORD *version, DWORD *revision)
{
  Record("DirectXSetupGetVersion");
  standin::Settings settings = Settings();
  INT result = static_cast<INT>(standin::SettingNumber(settings, "getversion", 1));
  if (result == 0)
    return result;
  if (version)
    *version = static_cast<DWORD>(standin::SettingNumber(settings, "version", 0x40009));
  if (revision)
    *revision = static_cast<DWORD>(standin::SettingNumber(settings, "revision", 0x904));
  return result;
}

extern "C" __declspec(dllexport) INT WINAPI DirectXSetupA(HWND, LPSTR sourcePath, DWORD flags)
{
  char hex[16];
  std::snprintf(hex, sizeof hex, " 0x%lX", static_cast<unsigned long>(flags));
  Record(std::string("DirectXSetupA ") + (sourcePath ? sourcePath : "(null)") + hex);
  return static_cast<INT>(standin::SettingNumber(Settings(), "setup", 0));
}
