#include "El/WindowsFirewall/firewall.hpp"
#include "Setup/Install/folderPaths.hpp"
#include "Setup/Script/setupObject.hpp"
#include "Setup/Shell/runLog.hpp"
#include "Setup/System/entryTexts.hpp"

void CSetupObject::RunFirewallStep()
{
  std::wstring folder = WithBackslash(installFolder);
  for (const std::wstring &entry : firewallEntries)
  {
    std::wstring name;
    std::wstring program;
    if (!SplitFirewallEntry(entry, name, program))
      continue;
    std::wstring path = folder + program;
    // A failure is only written to the log frame: the game runs without the
    // exception, and the player can still allow it when asked.
    bool added = WindowsFirewallAddApplication(path.c_str(), name.c_str());
    RunLog::Write(L"firewall " + path + L" (" + name + (added ? L"): let through" : L"): failed"));
    if (added)
      AddProductLogRecord(L'W', path);
  }
}
