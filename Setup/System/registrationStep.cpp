#include "Setup/Install/folderPaths.hpp"
#include "Setup/Script/setupObject.hpp"
#include "Setup/System/registryText.hpp"
#include "Setup/System/registryWrite.hpp"

namespace
{
const wchar_t UninstallRoot[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
} // namespace

void CSetupObject::AddProductLogRecord(wchar_t letter, const std::wstring &text)
{
  for (const std::wstring &log : productLogs)
    AddLogRecord(log, letter, text);
}

void CSetupObject::RunRegistrationStep()
{
  RegisterUninstallEntries();

  if (WriteRegistryString(HKEY_LOCAL_MACHINE, productKey, L"MAIN", PathWithoutTrailingSeparator(installFolder)))
    AddProductLogRecord(L'K', productKey);

  std::wstring folder = WithBackslash(installFolder);
  for (const std::wstring &text : fileTypes)
  {
    FileTypeEntry type;
    if (!ParseFileType(text, type))
      continue;
    std::wstring program = folder + type.program;
    std::wstring commandKey = type.className + L"\\shell\\open\\command";
    std::wstring iconKey = type.className + L"\\DefaultIcon";
    WriteRegistryString(HKEY_CLASSES_ROOT, type.extension, L"", type.className);
    WriteRegistryString(HKEY_CLASSES_ROOT, commandKey, L"", OpenCommand(program));
    WriteRegistryString(HKEY_CLASSES_ROOT, iconKey, L"", program + L"," + type.iconIndex);
    // Recorded whether or not a key could be made: the records list what was
    // meant to be written.
    AddProductLogRecord(L'C', type.extension);
    AddProductLogRecord(L'C', commandKey);
    AddProductLogRecord(L'C', iconKey);
  }

  for (const CRegistryAction &action : registryActions)
  {
    WriteRegistryString(action.root, action.key, action.valueName, ExpandRegistryData(action.data, folder));
    if (action.root == HKEY_LOCAL_MACHINE)
      AddProductLogRecord(L'K', action.key);
    else if (action.root == HKEY_CURRENT_USER)
      AddProductLogRecord(L'U', action.key + L":" + action.valueName);
  }
}

void CSetupObject::RegisterUninstallEntries()
{
  for (const std::unique_ptr<CSetupLogFileItem> &log : logs)
  {
    std::wstring key = UninstallRoot + log->uninstallKeyName;
    std::wstring command =
        log->programInInstallFolder ? WithBackslash(installFolder) + log->uninstallProgram : log->uninstallProgram;
    if (!WriteRegistryString(HKEY_LOCAL_MACHINE, key, L"UninstallString", command))
      continue;
    WriteRegistryString(HKEY_LOCAL_MACHINE, key, L"DisplayName", log->displayName);
    for (const std::wstring &owner : log->ownerNames)
      AddLogRecord(owner, L'K', key);
  }
}
