#pragma once

#include "Es/Framework/appFrame.hpp"

// The tool's application frame: the library's warnings and error reports go
// to standard error, one line each. Log lines ("Load bank ...") are progress
// chatter a user has no use for; they are printed only when MKSETUP_VERBOSE
// is set in the environment.
class ConsoleFrame : public AppFrameFunctions
{
public:
  explicit ConsoleFrame(bool verbose) : _verbose(verbose) {}

  void Log(const char *format, va_list argptr) override;
  void Warning(const char *format, va_list argptr) override;
  void ErrorMessage(const char *format, va_list argptr) override;
  void ErrorMessageLevel(const char *format, va_list argptr) override;
  void ErrorReport(const char *format, va_list argptr) override;
  void ReadErrorReport(const char *format, va_list argptr) override;

private:
  bool _verbose;
};

// Makes a ConsoleFrame the frame for the rest of the process. It is never
// taken down: string banks and other statics report from their destructors
// after main has returned, and those lines must not reach the default frame.
void InstallConsoleFrame();
