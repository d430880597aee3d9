// A stand-in for the OpenAL installer: it installs nothing. It writes its
// whole command line, as UTF-8, as a line to "openALCalls.txt" beside it (or
// where STANDIN_RECORDS says) and
// exits with the code "exit N" in "OpenALwEAX.txt" beside it (default 0).
#include "Standins/Common/standinFiles.hpp"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
  standin::AppendLine(standin::RecordFile(L"openALCalls.txt"), standin::Utf8(GetCommandLineW()));
  return static_cast<int>(
      standin::SettingNumber(standin::ReadSettings(standin::FileBeside(L"OpenALwEAX.txt")), "exit", 0));
}
