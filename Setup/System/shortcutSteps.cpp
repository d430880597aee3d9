#include "Setup/Install/folderPaths.hpp"
#include "Setup/Script/setupObject.hpp"
#include "Setup/Shell/runLog.hpp"
#include "Setup/System/comScope.hpp"
#include "Setup/System/shortcutRules.hpp"

#include <shlobj.h>

namespace
{
// The path of a special folder; empty when the system has none.
std::wstring SpecialFolderPath(int folderId, HWND owner)
{
  LPITEMIDLIST items = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(owner, folderId, &items)) || !items)
    return std::wstring();
  wchar_t path[MAX_PATH] = {};
  bool found = SHGetPathFromIDListW(items, path) != FALSE;
  CoTaskMemFree(items);
  return found ? std::wstring(path) : std::wstring();
}

// Writes a shell link; answers whether it was saved.
bool SaveShellLink(const std::wstring &linkPath, const std::wstring &target, const std::wstring &description,
                   const std::wstring &arguments, const std::wstring &workingFolder)
{
  IShellLinkW *link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void **>(&link))))
    return false;
  link->SetPath(target.c_str());
  link->SetDescription(description.c_str());
  link->SetArguments(arguments.c_str());
  link->SetWorkingDirectory(workingFolder.c_str());
  IPersistFile *file = nullptr;
  bool saved = false;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file))))
  {
    saved = SUCCEEDED(file->Save(linkPath.c_str(), TRUE));
    file->Release();
  }
  link->Release();
  return saved;
}
} // namespace

void CSetupObject::CreateStartMenuShortcuts() { CreateShortcuts(startMenuShortcuts, false); }

void CSetupObject::CreateDesktopShortcuts() { CreateShortcuts(desktopShortcuts, true); }

void CSetupObject::CreateShortcuts(const OwnedList<CSetupFileItem> &shortcuts, bool desktop)
{
  ComScope com;
  std::wstring base = SpecialFolderPath(ShortcutFolderId(desktop, allUsers != 0), MainWindow());
  if (base.empty())
    return;
  base = WithBackslash(base);
  if (!desktop)
    base += groupName;

  std::wstring folder = WithBackslash(installFolder);
  for (const std::unique_ptr<CSetupFileItem> &shortcut : shortcuts)
  {
    std::wstring link = LinkPath(base, shortcut->sourceName);
    // A shortcut that no log records still needs its folder.
    std::vector<std::wstring> logNames = shortcut->logList;
    if (logNames.empty())
      logNames.emplace_back();
    for (const std::wstring &log : logNames)
      if (!CreateDestinationFolders(link, log))
      {
        RunLog::Write(L"link " + link + L": its folder cannot be made, no more links");
        return;
      }
    std::wstring target = folder + shortcut->destination;
    // A link that cannot be made is not reported to the user.
    bool saved = SaveShellLink(link, target, shortcut->sourceName, shortcut->arguments, LinkWorkingFolder(target));
    RunLog::Write(L"link " + link + L" to " + target + (saved ? L": made" : L": not made"));
    for (const std::wstring &log : shortcut->logList)
      AddLogRecord(log, L'F', link);
  }
}

HWND CSetupObject::MainWindow() const
{
  CWinApp *current = CWinApp::Current();
  return current ? current->m_hMainWnd : nullptr;
}
