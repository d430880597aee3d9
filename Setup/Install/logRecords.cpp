#include "Setup/Script/setupObject.hpp"

namespace
{
bool IsPlainText(const std::wstring &text)
{
  for (wchar_t c : text)
    if (c < 0x20 || c > 0x7E)
      return false;
  return true;
}
} // namespace

void CSetupLogFileItem::IndexNewRecords()
{
  for (; _indexed < records.size(); ++_indexed)
  {
    if (IsPlainText(records[_indexed]))
      _plain.insert(records[_indexed]);
    else
      _unusual.push_back(_indexed);
  }
}

bool CSetupLogFileItem::AddRecord(std::wstring record)
{
  IndexNewRecords();
  if (IsPlainText(record))
  {
    if (_plain.count(record))
      return false;
    for (std::size_t at : _unusual)
      if (lstrcmpW(records[at].c_str(), record.c_str()) == 0)
        return false;
  }
  else
  {
    for (const std::wstring &present : records)
      if (lstrcmpW(present.c_str(), record.c_str()) == 0)
        return false;
  }
  records.push_back(std::move(record));
  return true;
}

void CSetupObject::AddLogRecord(const std::wstring &logName, wchar_t letter, const std::wstring &text)
{
  for (const std::unique_ptr<CSetupLogFileItem> &log : logs)
  {
    if (log->name != logName)
      continue;
    log->AddRecord(std::wstring(1, letter) + L":" + text);
    return;
  }
}
