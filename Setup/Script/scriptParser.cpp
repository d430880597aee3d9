#include "Setup/Script/scriptParser.hpp"

#include "Setup/Data/scriptLines.hpp"
#include "Setup/Install/sourceNames.hpp"
#include "Setup/Shell/setupApp.hpp"

#include <cwchar>
#include <cwctype>
#include <memory>

bool CSetupObject::ParseScript()
{
  ScriptParser parser(*this);
  for (std::size_t i = 0; i < scriptLines.size() && i < scriptFields.size(); ++i)
    if (!parser.RunLine(scriptFields[i], scriptLines[i]))
      return false;

  // The copy phase looks for the first medium too.
  currentMedium = nullptr;
  LoadCrcList();
  PlacePictures(pictures, totalSize);
  return totalSize != 0;
}

bool ScriptParser::RunLine(const std::vector<std::wstring> &fields, const std::wstring &line)
{
  if (fields.empty() || fields[0].empty())
    return true;
  const std::wstring &first = fields[0];
  std::size_t count = fields.size();
  switch (std::towupper(first[0]))
  {
  case L';':
    return true;
  case L'/':
    if (count >= 2 && !fields[1].empty() && fields[1][0] == L'/')
      return true;
    break;
  case L'A':
    if (count >= 2)
      Product(fields);
    return true;
  case L'C':
    return Medium(fields);
  case L'D':
    if (count >= 3)
      Directory(fields);
    return true;
  case L'E':
  case L'O':
  case L'W':
    if (_setup.finishActions.size() < MaxFinishActions)
      _setup.finishActions.push_back(line);
    return true;
  case L'F':
  case L'X':
    if (count >= 3)
      File(fields, std::towupper(first[0]) == L'F');
    return true;
  case L'G':
    if (count >= 2)
      _setup.groupName = RestFromField(fields, 1);
    return true;
  case L'I':
    if (count >= 3)
      InstallFolder(fields);
    return true;
  case L'J':
    if (count >= 2)
      _setup.browseFolderName = RestFromField(fields, 1);
    return true;
  case L'L':
    return count < 2 || TotalSize(fields);
  case L'P':
    if (count >= 3)
      Picture(fields);
    return true;
  case L'Q':
    if (count >= 3)
      Option(fields);
    return true;
  case L'R':
    if (count >= 2)
      _setup.productKey = RestFromField(fields, 1);
    return true;
  case L'S':
    if (count >= 3)
      Shortcut(fields);
    return true;
  case L'U':
    Log(fields);
    return true;
  default:
    break;
  }
  Unrecognised(fields);
  return true;
}

std::vector<std::wstring> ScriptParser::LogsForItem(bool logged) const
{
  return logged ? _setup.logStack : std::vector<std::wstring>();
}

void ScriptParser::Product(const std::vector<std::wstring> &fields)
{
  ::ProductName() = RestFromField(fields, 1);
  _setup.productLogs.insert(_setup.productLogs.end(), _setup.logStack.begin(), _setup.logStack.end());
  if (_setup.application && !_setup.application->Title().empty())
    _setup.application->ApplyProductName(::ProductName());
}

bool ScriptParser::Medium(const std::vector<std::wstring> &fields)
{
  if (fields.size() < 4)
    return false;
  auto medium = std::make_unique<CCdRom>();
  medium->volumeLabel = fields[1];
  medium->testFile = fields[2];
  medium->folder = RestFromField(fields, 3);
  _setup.currentMedium = medium.get();
  _setup.media.push_back(std::move(medium));
  return true;
}

void ScriptParser::Directory(const std::vector<std::wstring> &fields)
{
  // "DN" copies without logging; only an upper-case N says so.
  bool logged = !(fields[0].size() > 1 && fields[0][1] == L'N');
  std::wstring destination = RestFromField(fields, 2);
  if (!_setup.currentMedium)
  {
    _setup.ExpandFolder(LogsForItem(logged), _setup.sourceFolder, fields[1], destination, nullptr,
                        _setup.copyList.end());
    return;
  }
  auto item = std::make_unique<CSetupFileItem>();
  item->sourceName = fields[1];
  item->destination = destination;
  item->logList = LogsForItem(logged);
  item->medium = _setup.currentMedium;
  item->directory = true;
  _setup.copyList.push_back(std::move(item));
}

void ScriptParser::File(const std::vector<std::wstring> &fields, bool logged)
{
  auto item = std::make_unique<CSetupFileItem>();
  item->sourceName = fields[1];
  item->destination = RestFromField(fields, 2);
  item->logList = LogsForItem(logged);
  item->medium = _setup.currentMedium;
  item->archiveNumber = _setup.ArchiveNumberOf(item->sourceName);
  _setup.copyList.push_back(std::move(item));
}

bool ScriptParser::TotalSize(const std::vector<std::wstring> &fields)
{
  // C conventions: decimal, "0x" hexadecimal, a leading 0 octal.
  const wchar_t *text = fields[1].c_str();
  wchar_t *end = nullptr;
  long long size = std::wcstoll(text, &end, 0);
  if (end == text)
    return false;
  _setup.totalSize = size;
  return true;
}

void ScriptParser::Shortcut(const std::vector<std::wstring> &fields)
{
  const std::wstring &command = fields[0];
  std::size_t at = 1;
  bool withArguments = at < command.size() && std::towupper(command[at]) == L'A';
  if (withArguments)
    ++at;
  bool onDesktop = at < command.size() && std::towupper(command[at]) == L'D';

  auto item = std::make_unique<CSetupFileItem>();
  item->sourceName = fields[1];
  item->arguments = withArguments ? fields[2] : std::wstring();
  item->destination = RestFromField(fields, withArguments ? 3 : 2);
  item->logList = _setup.logStack;
  (onDesktop ? _setup.desktopShortcuts : _setup.startMenuShortcuts).push_back(std::move(item));
}

void ScriptParser::Unrecognised(const std::vector<std::wstring> &fields)
{
  if (_setup.debug)
    _setup.MessageBox(
        L"Warning: The following setup.dat line was not recognized as command\n\n" + RestFromField(fields, 0), 0);
}
