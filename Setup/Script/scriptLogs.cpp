#include "Setup/Data/scriptLines.hpp"
#include "Setup/Install/sourceNames.hpp"
#include "Setup/Script/scriptParser.hpp"

#include <memory>

namespace
{
// The uninstall program's name with its extension (from the last "." after
// the first character) replaced by ".log", or ".log" appended.
std::wstring LogNameOf(const std::wstring &program)
{
  std::wstring::size_type dot = program.rfind(L'.');
  if (dot == std::wstring::npos || dot == 0)
    return program + L".log";
  return program.substr(0, dot) + L".log";
}
} // namespace

void ScriptParser::Log(const std::vector<std::wstring> &fields)
{
  if (fields.size() < 2)
    return;
  const std::wstring &kind = fields[1];
  if (StartsWithLetter(kind, L'N'))
  {
    if (!_setup.logStack.empty())
      _setup.logStack.pop_back();
    return;
  }
  if (StartsWithLetter(kind, L'P'))
  {
    if (fields.size() < 3)
      return;
    std::wstring record = RestFromField(fields, 2);
    bool withFolder = StartsWithLetter(fields[2], L'P');
    for (const std::wstring &log : _setup.productLogs)
    {
      _setup.AddLogRecord(log, L'P', record);
      if (withFolder)
        _setup.AddLogRecord(log, L'P', L"M:" + _setup.installFolder);
    }
    return;
  }
  if (fields.size() < 5)
    return;

  auto log = std::make_unique<CSetupLogFileItem>();
  log->name = LogNameOf(fields[2]);
  _setup.logStack.push_back(log->name);
  log->ownerNames = _setup.logStack;
  log->ownerNames.push_back(log->name);
  log->uninstallProgram = fields[2];
  log->uninstallKeyName = fields[3];
  log->displayName = RestFromField(fields, 4);
  log->programInInstallFolder = StartsWithLetter(kind, L'D');
  _setup.logs.push_back(std::move(log));
}
