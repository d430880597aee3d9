#include "Setup/Install/installLogs.hpp"

#include "Es/Strings/wideText.hpp"
#include "Setup/Data/logRecord.hpp"
#include "Setup/Install/removalRules.hpp"
#include "Setup/Install/systemFolders.hpp"
#include "Setup/Script/setupObject.hpp"
#include "Setup/Shell/runLog.hpp"

namespace
{
bool WriteLogFile(const std::wstring &path, const CSetupLogFileItem &log)
{
  std::string text = Utf8FromWide(log.uninstallKeyName) + "\r\n";
  for (const std::wstring &record : log.records)
    if (!record.empty())
      text += Utf8FromWide(record) + "\r\n";
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return true;
}

bool IsFolderOrKey(const std::wstring &record)
{
  LogRecordParts parts;
  return SplitLogRecord(record, parts) && (parts.letter == L'D' || parts.letter == L'K' || parts.letter == L'C');
}
} // namespace

void CSetupObject::WriteInstallLogs()
{
  std::wstring folder = installFolder;
  if (folder.empty() || folder.back() != L'\\')
    folder += L'\\';
  // Each log file goes with the product: its owners record it.
  for (const std::unique_ptr<CSetupLogFileItem> &log : logs)
    for (const std::wstring &owner : log->ownerNames)
      AddLogRecord(owner, L'F', folder + log->name);
  for (const std::unique_ptr<CSetupLogFileItem> &log : logs)
    if (!WriteLogFile(folder + log->name, *log))
      return;
}

void CSetupObject::RollbackInstallLogs()
{
  // A link made in the Start menu records every folder on its way there;
  // those that are the system's own stay, empty or not.
  const std::vector<std::wstring> systemFolders = SystemFolders();
  auto isSystemFolder = [&](const std::wstring &record)
  {
    LogRecordParts parts;
    return SplitLogRecord(record, parts) && parts.letter == L'D' &&
           JudgePath(parts.text, std::wstring(), systemFolders) == PathVerdict::SystemFolder;
  };
  for (const std::unique_ptr<CSetupLogFileItem> &log : logs)
    for (auto record = log->records.rbegin(); record != log->records.rend(); ++record)
      RunLog::Write(L"undo " + *record + L": " +
                    (isSystemFolder(*record) ? L"a system folder, kept" : UndoOutcomeText(UndoLogRecord(*record))));
  // A folder recorded by one log may have held files of a log undone after
  // it, and a key may have held another log's subkeys: what is still there
  // goes now that everything inside is gone.
  for (const std::unique_ptr<CSetupLogFileItem> &log : logs)
    for (auto record = log->records.rbegin(); record != log->records.rend(); ++record)
      if (IsFolderOrKey(*record) && !isSystemFolder(*record))
      {
        UndoOutcome outcome = UndoLogRecord(*record);
        if (outcome == UndoOutcome::Removed)
          RunLog::Write(L"undo " + *record + L" again: removed");
      }
}
