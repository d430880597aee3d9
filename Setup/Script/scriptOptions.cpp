#include "Setup/Data/scriptLines.hpp"
#include "Setup/Install/sourceNames.hpp"
#include "Setup/Script/scriptParser.hpp"

#include <memory>

namespace
{
bool Contains(const std::wstring &text, const wchar_t *part) { return text.find(part) != std::wstring::npos; }
} // namespace

void ScriptParser::Option(const std::vector<std::wstring> &fields)
{
  const std::wstring &name = fields[1];
  std::wstring value = RestFromField(fields, 2);
  auto is = [&name](const wchar_t *option) { return SameNameBlind(name, option); };
  auto valueIs = [&value](const wchar_t *word) { return SameNameBlind(value, word); };

  if (is(L"directx"))
  {
    if (valueIs(L"silent"))
      _setup.directXMode = DirectXSilent;
    else if (valueIs(L"no"))
      _setup.directXMode = DirectXNo;
    else if (valueIs(L"dialog"))
      _setup.directXMode = DirectXDialog;
  }
  else if (is(L"openAL"))
  {
    if (valueIs(L"no"))
      _setup.openAL = false;
    else if (valueIs(L"silent"))
      _setup.openAL = true;
  }
  else if (is(L"license"))
  {
    if (valueIs(L"no"))
      _setup.licensePage = false;
    else if (valueIs(L"yes"))
      _setup.licensePage = true;
  }
  // These two look for the word anywhere in the value: "nope" clears the
  // all-users question.
  else if (is(L"info"))
  {
    if (Contains(value, L"yes"))
      _setup.infoPage = true;
  }
  else if (is(L"allusers"))
  {
    if (Contains(value, L"no"))
      _setup.allUsersQuestion = false;
  }
  else if (is(L"testVolumeLabel"))
  {
    if (valueIs(L"no"))
      TestVolumeLabel() = false;
    else if (valueIs(L"yes"))
      TestVolumeLabel() = true;
  }
  else if (is(L"gameexplorer"))
    _setup.gameExplorerFile = value;
  else if (is(L"geplaytask"))
    _setup.playTasks.push_back(value);
  else if (is(L"gesupporttask"))
    _setup.supportTasks.push_back(value);
  else if (is(L"filetype"))
    _setup.fileTypes.push_back(value);
  else if (is(L"firewall"))
    _setup.firewallEntries.push_back(value);
  else if (is(L"registry"))
  {
    CRegistryAction action;
    if (ParseRegistryAction(value, action))
      _setup.registryActions.push_back(std::move(action));
  }
  else if (is(L"runapp"))
  {
    auto item = std::make_unique<CSetupFileItem>();
    item->sourceName = value;
    item->destination = WithoutFinalGz(value);
    item->medium = _setup.currentMedium;
    item->archiveNumber = _setup.ArchiveNumberOf(value);
    _setup.runList.push_back(item->destination);
    _setup.copyList.push_back(std::move(item));
  }
}
