#pragma once

#include <string>
#include <vector>

// What the uninstaller's command line asks for: /S (silent: no question, no
// message), /LOG=<file> (the install log to read instead of the one beside
// the program), /EVENTS=<file> (a line per record and outcome), or the
// finishing copy's /FINISH=<process id> followed by the paths to remove.
struct UninstallOptions
{
  bool silent = false;
  std::wstring installLog;
  std::wstring eventLog;
  bool finish = false;
  unsigned long finishProcess = 0;
  std::vector<std::wstring> finishPaths;
  // Words that are none of these.
  std::vector<std::wstring> unknown;
};
UninstallOptions ReadUninstallOptions(const std::vector<std::wstring> &arguments);

// The whole run; answers the exit code: 0 removed, 1 failed (or a log that
// cannot be read), 2 cancelled.
int RunUninstaller(const UninstallOptions &options);
