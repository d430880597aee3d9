#pragma once

#include <cstdarg>

// gnu_printf: MinGW builds format with the C99-conforming printf, not msvcrt's.
// clang knows only printf, which is what it checks against anyway.
#if defined(__clang__)
#define ES_PRINTF_FORMAT(formatIndex, firstArg) __attribute__((format(printf, formatIndex, firstArg)))
#elif defined(__GNUC__)
#define ES_PRINTF_FORMAT(formatIndex, firstArg) __attribute__((format(gnu_printf, formatIndex, firstArg)))
#else
#define ES_PRINTF_FORMAT(formatIndex, firstArg)
#endif
// For functions that take the arguments as a va_list.
#define ES_VPRINTF_FORMAT(formatIndex) ES_PRINTF_FORMAT(formatIndex, 0)

// The application frame: the one object through which the libraries log, warn
// and report failures. The libraries never talk to a user and never stop the
// program themselves; a host program overrides the slots it cares about.
//
// The slot order is part of the contract: hosts derive from this class and
// override by slot, and the default Warning .. ReadErrorReport slots forward to
// Log through the virtual table, so overriding Log alone captures them all.
class AppFrameFunctions
{
public:
  constexpr AppFrameFunctions() = default;
  AppFrameFunctions(const AppFrameFunctions &) = delete;
  AppFrameFunctions &operator=(const AppFrameFunctions &) = delete;
  virtual ~AppFrameFunctions() = default;

  // Writes one line: formatted into at most 511 characters, a line feed added
  // when there is room, sent to the debugger output (standard error on POSIX).
  virtual void Log(const char *format, va_list argptr) ES_VPRINTF_FORMAT(2);
  virtual void Warning(const char *format, va_list argptr) ES_VPRINTF_FORMAT(2);
  virtual void ErrorMessage(const char *format, va_list argptr) ES_VPRINTF_FORMAT(2);
  virtual void ErrorMessageLevel(const char *format, va_list argptr) ES_VPRINTF_FORMAT(2);
  virtual void ErrorReport(const char *format, va_list argptr) ES_VPRINTF_FORMAT(2);
  virtual void LogLevel(int level, const char *format, va_list argptr) ES_VPRINTF_FORMAT(3);
  virtual void ReadErrorReport(const char *format, va_list argptr) ES_VPRINTF_FORMAT(2);
  // On-screen output; the default frame has no screen and ignores it.
  virtual void ShowMessage(int level, const char *text);
  virtual void ShowTextLine(int position, int level, const char *text);
  // Queries a host may answer; no caller depends on more than the defaults.
  virtual int QueryState();
  virtual const char *QueryName();
  virtual int QueryValue(int key, int defaultValue);
  virtual int QueryFlags();
};

// The frame in use. It starts out pointing at a default frame that lives for
// the whole process (it is never destroyed, so static destructors may log).
extern AppFrameFunctions *CurrentAppFrameFunctions;

// Points the process at another frame (nullptr restores the default) and
// answers the previous one.
AppFrameFunctions *SetAppFrameFunctions(AppFrameFunctions *frame);

// The channels, one free function per message slot of the current frame.
void LogF(const char *format, ...) ES_PRINTF_FORMAT(1, 2);
void WarningF(const char *format, ...) ES_PRINTF_FORMAT(1, 2);
void ErrorMessageF(const char *format, ...) ES_PRINTF_FORMAT(1, 2);
void ErrorMessageLevelF(const char *format, ...) ES_PRINTF_FORMAT(1, 2);
void ErrorReportF(const char *format, ...) ES_PRINTF_FORMAT(1, 2);
void LogLevelF(int level, const char *format, ...) ES_PRINTF_FORMAT(2, 3);
void ReadErrorReportF(const char *format, ...) ES_PRINTF_FORMAT(1, 2);
// Formats into at most 511 characters, then hands the text to ShowMessage.
void ShowMessageF(int level, const char *format, ...) ES_PRINTF_FORMAT(2, 3);

// Internal-check reports on the error-message channel. `source` is the
// library's source path without extension ("Es/Containers/array"); a report
// never stops the program, the caller goes on with its own fallback.
void ReportCheckFailure(const char *source, int line, const char *message);
void ReportAssertionFailure(const char *source, int line, const char *condition);

// Size of the buffer every default line is formatted into.
inline constexpr int LogLineBufferSize = 512;

// Formats the default Log line: the message cut to 511 characters, then a line
// feed when there is still room for it. Answers the length written.
int FormatLogLine(char (&buffer)[LogLineBufferSize], const char *format, va_list argptr) ES_VPRINTF_FORMAT(2);
