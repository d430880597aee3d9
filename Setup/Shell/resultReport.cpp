#include "Setup/Install/deleteFolderTree.hpp"
#include "Setup/Script/setupObject.hpp"
#include "Setup/Shell/finishActions.hpp"
#include "Setup/Shell/runLog.hpp"
#include "Setup/Wizard/resultDialog.hpp"

int CSetupObject::ReportResult()
{
  exitCode = ExitCodeOf(resultCode);
  RunLog::Write(L"result code " + std::to_wstring(resultCode) + L", exit code " + std::to_wstring(exitCode));
  if (resultCode == ResultDirectXError)
  {
    MessageBoxKey(L"SETUP_STR_RESULT_DIRECTX_ERROR", MB_ICONWARNING);
    resultCode = ResultSuccess;
  }

  switch (resultCode)
  {
  case ResultRestart:
    // The exit code tells whoever started a run that may not restart.
    if (switches.noRestart)
      break;
    if (switches.silent || MessageBoxKey(L"SETUP_STR_RESULT_RESTART", MB_YESNO | MB_ICONQUESTION) == IDYES)
      ExitWindowsEx(EWX_REBOOT, 0);
    break;
  case ResultInternalError:
  case ResultCancelled:
  case ResultError:
    MessageBoxKey(resultCode == ResultInternalError ? L"SETUP_STR_RESULT_INTERERR"
                  : resultCode == ResultCancelled   ? L"SETUP_STR_RESULT_CANCELUSER"
                                                    : L"SETUP_STR_RESULT_ERROR",
                  MB_ICONWARNING);
    // The worker is stopped first, so that the file it writes cannot come
    // back after its removal.
    StopCopy();
    RollbackInstallLogs();
    break;
  default:
    if (!switches.silent)
    {
      ShowResultDialog();
      RunTickedFinishActions();
    }
    if (switches.desktop && !desktopShortcutsMade)
      CreateDesktopShortcutsAndRecord();
    break;
  }

  std::wstring folder = TemporaryFolder();
  if (!folder.empty())
    DeleteFolderTree(folder, true);
  return StateEnd;
}

void CSetupObject::CreateDesktopShortcutsAndRecord()
{
  CreateDesktopShortcuts();
  desktopShortcutsMade = true;
  // The logs on disk must name the new links too.
  WriteInstallLogs();
}

void CSetupObject::RunTickedFinishActions()
{
  for (std::size_t i = 0; i < finishActions.size() && i < MaxFinishActions; ++i)
    if (finishChoices[i] == 1)
      RunFinishAction(finishActions[i], installFolder, sourceFolder, LanguageSuffix(),
                      [this] { CreateDesktopShortcutsAndRecord(); });
}

int CSetupObject::ShowResultDialog()
{
  CResultOK dialog(this);
  dialog.DoModal();
  return 1;
}

int ExitCodeOf(int resultCode)
{
  switch (resultCode)
  {
  case ResultDirectXError:
    return 4;
  case ResultRestart:
    return 3010;
  case ResultInternalError:
  case ResultCancelled:
  case ResultError:
    return resultCode;
  default:
    return 0;
  }
}
