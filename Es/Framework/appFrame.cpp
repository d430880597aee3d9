#include "Es/Framework/appFrame.hpp"

#include "Es/Common/neverDestroyed.hpp"
#include "Es/Framework/debugOutput.hpp"

#include <cstdio>
#include <cstring>

int FormatLogLine(char (&buffer)[LogLineBufferSize], const char *format, va_list argptr)
{
  int written = std::vsnprintf(buffer, LogLineBufferSize, format, argptr);
  if (written < 0)
  {
    buffer[0] = '\0';
    written = 0;
  }
  int length = written < LogLineBufferSize - 1 ? written : LogLineBufferSize - 1;
  // A line feed only when the message left room for it: a cut message ends
  // exactly at the buffer's last character.
  if (length < LogLineBufferSize - 1)
  {
    buffer[length++] = '\n';
    buffer[length] = '\0';
  }
  return length;
}

void AppFrameFunctions::Log(const char *format, va_list argptr)
{
  char line[LogLineBufferSize];
  FormatLogLine(line, format, argptr);
  WriteDebugOutput(line);
}

void AppFrameFunctions::Warning(const char *format, va_list argptr) { Log(format, argptr); }
void AppFrameFunctions::ErrorMessage(const char *format, va_list argptr) { Log(format, argptr); }
void AppFrameFunctions::ErrorMessageLevel(const char *format, va_list argptr) { Log(format, argptr); }
void AppFrameFunctions::ErrorReport(const char *format, va_list argptr) { Log(format, argptr); }
void AppFrameFunctions::LogLevel(int, const char *format, va_list argptr) { Log(format, argptr); }
void AppFrameFunctions::ReadErrorReport(const char *format, va_list argptr) { Log(format, argptr); }
void AppFrameFunctions::ShowMessage(int, const char *) {}
void AppFrameFunctions::ShowTextLine(int, int, const char *) {}
int AppFrameFunctions::QueryState() { return 0; }
const char *AppFrameFunctions::QueryName() { return ""; }
int AppFrameFunctions::QueryValue(int, int) { return 0; }
int AppFrameFunctions::QueryFlags() { return 0; }

namespace
{
// Banks and allocators report from their own static destructors at process end.
constinit NeverDestroyed<AppFrameFunctions> defaultFrame;
} // namespace

constinit AppFrameFunctions *CurrentAppFrameFunctions = &defaultFrame.value;

AppFrameFunctions *SetAppFrameFunctions(AppFrameFunctions *frame)
{
  AppFrameFunctions *previous = CurrentAppFrameFunctions;
  CurrentAppFrameFunctions = frame ? frame : &defaultFrame.value;
  return previous;
}

// Each channel hands its argument list to one slot of the current frame.
#define ES_FORWARD_TO_FRAME(call)                                                                                      \
  va_list argptr;                                                                                                      \
  va_start(argptr, format);                                                                                            \
  CurrentAppFrameFunctions->call;                                                                                      \
  va_end(argptr)

void LogF(const char *format, ...) { ES_FORWARD_TO_FRAME(Log(format, argptr)); }
void WarningF(const char *format, ...) { ES_FORWARD_TO_FRAME(Warning(format, argptr)); }
void ErrorMessageF(const char *format, ...) { ES_FORWARD_TO_FRAME(ErrorMessage(format, argptr)); }
void ErrorMessageLevelF(const char *format, ...) { ES_FORWARD_TO_FRAME(ErrorMessageLevel(format, argptr)); }
void ErrorReportF(const char *format, ...) { ES_FORWARD_TO_FRAME(ErrorReport(format, argptr)); }
void LogLevelF(int level, const char *format, ...) { ES_FORWARD_TO_FRAME(LogLevel(level, format, argptr)); }
void ReadErrorReportF(const char *format, ...) { ES_FORWARD_TO_FRAME(ReadErrorReport(format, argptr)); }

void ShowMessageF(int level, const char *format, ...)
{
  char text[LogLineBufferSize];
  va_list argptr;
  va_start(argptr, format);
  if (std::vsnprintf(text, sizeof text, format, argptr) < 0)
    text[0] = '\0';
  va_end(argptr);
  CurrentAppFrameFunctions->ShowMessage(level, text);
}

void ReportCheckFailure(const char *source, int line, const char *message)
{
  ErrorMessageF("%s(%d) : %s", source, line, message);
}

void ReportAssertionFailure(const char *source, int line, const char *condition)
{
  ErrorMessageF("%s(%d) : Assertion failed '%s'", source, line, condition);
}
