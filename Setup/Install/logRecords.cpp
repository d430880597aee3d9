#include "Setup/Script/setupObject.hpp"

void CSetupObject::AddLogRecord(const std::wstring &logName, wchar_t letter, const std::wstring &text)
{
  for (const std::unique_ptr<CSetupLogFileItem> &log : logs)
  {
    if (log->name != logName)
      continue;
    std::wstring record = std::wstring(1, letter) + L":" + text;
    for (const std::wstring &present : log->records)
      if (lstrcmpW(present.c_str(), record.c_str()) == 0)
        return;
    log->records.push_back(std::move(record));
    return;
  }
}
