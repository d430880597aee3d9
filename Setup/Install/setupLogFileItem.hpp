#pragma once

#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

// One install log: what was created for a product part, so that its
// uninstall program (or a failed run) can take it away again.
class CSetupLogFileItem
{
public:
  virtual ~CSetupLogFileItem() = default;

  // The logs that record this log's own traces: the log stack when the log
  // was declared, then this log's name once more.
  std::vector<std::wstring> ownerNames;
  // The log's file name relative to the install folder.
  std::wstring name;
  // "F:path", "D:path", "K:key" ...: in order of recording, no duplicates.
  // Records are only ever appended.
  std::vector<std::wstring> records;
  // The uninstall command is relative to the install folder.
  bool programInInstallFolder = false;
  std::wstring uninstallProgram;
  std::wstring uninstallKeyName;
  std::wstring displayName;

  // Appends the record unless one that the platform's locale-aware,
  // case-sensitive comparison (lstrcmpW) finds equal is already there.
  // Answers whether it was appended.
  bool AddRecord(std::wstring record);

private:
  // Brings the index up to the records appended directly.
  void IndexNewRecords();

  // A product of ten thousand files records some fifty thousand paths, and a
  // linear scan with the locale's comparison for each would take minutes.
  // Two texts of printable ASCII alone are equal for that comparison exactly
  // when they are the same characters, so those are looked up by hash; only
  // texts with other characters (which the comparison may find equal to a
  // differently spelt text) are compared one by one.
  std::unordered_set<std::wstring> _plain;
  std::vector<std::size_t> _unusual;
  std::size_t _indexed = 0;
};
