#pragma once

#include <string>
#include <vector>

// One install log: what was created for a product part, so that its
// uninstall program (or a failed run) can take it away again.
class CSetupLogFileItem
{
public:
  // The logs that record this log's own traces: the log stack when the log
  // was declared, then this log's name once more.
  std::vector<std::wstring> ownerNames;
  // The log's file name relative to the install folder.
  std::wstring name;
  // "F:path", "D:path", "K:key" ...: in order of recording, no duplicates.
  std::vector<std::wstring> records;
  // The uninstall command is relative to the install folder.
  bool programInInstallFolder = false;
  std::wstring uninstallProgram;
  std::wstring uninstallKeyName;
  std::wstring displayName;
};
