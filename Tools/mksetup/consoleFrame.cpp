#include "Tools/mksetup/consoleFrame.hpp"

#include <cstdio>
#include <cstdlib>
#include <new>

namespace
{
void PrintLine(const char *prefix, const char *format, va_list argptr)
{
  char line[LogLineBufferSize];
  int length = FormatLogLine(line, format, argptr);
  // FormatLogLine leaves out the line feed when it had to cut the message;
  // a message of the library's own may also end in one already.
  while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r'))
    line[--length] = '\0';
  std::fprintf(stderr, "%s%s\n", prefix, line);
  std::fflush(stderr);
}

// Storage for the frame that is never destroyed.
alignas(ConsoleFrame) unsigned char frameStorage[sizeof(ConsoleFrame)];
} // namespace

void ConsoleFrame::Log(const char *format, va_list argptr)
{
  if (_verbose)
    PrintLine("", format, argptr);
}

void ConsoleFrame::Warning(const char *format, va_list argptr) { PrintLine("warning: ", format, argptr); }
void ConsoleFrame::ErrorMessage(const char *format, va_list argptr) { PrintLine("error: ", format, argptr); }
void ConsoleFrame::ErrorMessageLevel(const char *format, va_list argptr) { PrintLine("error: ", format, argptr); }
void ConsoleFrame::ErrorReport(const char *format, va_list argptr) { PrintLine("error: ", format, argptr); }
void ConsoleFrame::ReadErrorReport(const char *format, va_list argptr) { PrintLine("read error: ", format, argptr); }

void InstallConsoleFrame()
{
  const char *verbose = std::getenv("MKSETUP_VERBOSE");
  SetAppFrameFunctions(new (frameStorage) ConsoleFrame(verbose && *verbose));
}
