#include "Setup/Shell/runLog.hpp"

#include "Es/Framework/appFrame.hpp"
#include "Es/Strings/wideText.hpp"

#include <cstdio>

#include <windows.h>

namespace
{
// Set once, before the copy worker exists; closed after it has ended.
HANDLE logFile = INVALID_HANDLE_VALUE;

void WriteLine(const std::string &utf8)
{
  if (logFile == INVALID_HANDLE_VALUE)
    return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth, now.wDay, now.wHour,
                now.wMinute, now.wSecond, now.wMilliseconds);
  std::string line = stamp + utf8;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
    line.pop_back();
  line += "\r\n";
  DWORD written = 0;
  WriteFile(logFile, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

// Every channel of the frame ends up in Log: the default slots forward there.
class LogFrame : public AppFrameFunctions
{
public:
  void Log(const char *format, va_list argptr) override
  {
    char buffer[LogLineBufferSize];
    FormatLogLine(buffer, format, argptr);
    WriteLine(buffer);
  }
};
} // namespace

bool RunLog::Open(const std::wstring &path)
{
  Close();
  // Appending: each line is one write at the end, whichever thread sends it.
  // A handle that may only append cannot empty a file, so an old log goes
  // first.
  DeleteFileW(path.c_str());
  logFile = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
  return logFile != INVALID_HANDLE_VALUE;
}

bool RunLog::IsOpen() { return logFile != INVALID_HANDLE_VALUE; }

void RunLog::Write(const std::wstring &text) { WriteLine(Utf8FromWide(text)); }

void RunLog::CaptureLogFrame()
{
  static LogFrame frame;
  SetAppFrameFunctions(&frame);
}

void RunLog::Close()
{
  if (logFile != INVALID_HANDLE_VALUE)
    CloseHandle(logFile);
  logFile = INVALID_HANDLE_VALUE;
}
