#include "Setup/Shell/installDriver.hpp"

#include "Setup/Install/folderPaths.hpp"
#include "Setup/Script/setupObject.hpp"
#include "Setup/Shell/runLog.hpp"
#include "Setup/Wizard/setupWizard.hpp"

DriverAction ActionOfState(int state)
{
  switch (state)
  {
  case 0:
    return DriverAction::StartupChecks;
  case 1:
    return DriverAction::Wizard;
  case 10:
    return DriverAction::ResetCopyCount;
  case 11:
    return DriverAction::CopyStep;
  case 12:
    return DriverAction::StopCopy;
  case 20:
    return DriverAction::DirectX;
  case 25:
    return DriverAction::OpenAL;
  case 28:
    return DriverAction::Firewall;
  case 30:
    return DriverAction::StartMenu;
  case 40:
    return DriverAction::Registration;
  case 45:
    return DriverAction::GameExplorer;
  case 48:
    return DriverAction::RunPrograms;
  case 50:
    return DriverAction::WriteLogs;
  case 100:
    return DriverAction::ReportResult;
  default:
    return DriverAction::GoToResult;
  }
}

bool CSetupObject::Step()
{
  if (driverState != _loggedState)
  {
    RunLog::Write(L"state " + std::to_wstring(driverState));
    _loggedState = driverState;
  }
  int next = StateResult;
  switch (ActionOfState(driverState))
  {
  case DriverAction::GoToResult:
    next = StateResult;
    break;
  case DriverAction::StartupChecks:
    next = RunStartupChecks();
    break;
  case DriverAction::Wizard:
    next = RunWizard();
    break;
  case DriverAction::ResetCopyCount:
    ResetCopiedBytes();
    _stagingFolderExists.reset();
    next = 11;
    break;
  case DriverAction::CopyStep:
    next = RunCopyStep();
    break;
  case DriverAction::StopCopy:
    StopCopy();
    next = 20;
    break;
  case DriverAction::DirectX:
    if (directXMode == DirectXSilent || (directXMode == DirectXDialog && directXNeeded))
      RunDirectXStep();
    next = 25;
    break;
  case DriverAction::OpenAL:
    if (openAL)
      RunOpenALStep();
    next = 28;
    break;
  case DriverAction::Firewall:
    RunFirewallStep();
    next = 30;
    break;
  case DriverAction::StartMenu:
    CreateStartMenuShortcuts();
    next = 40;
    break;
  case DriverAction::Registration:
    RunRegistrationStep();
    next = 45;
    break;
  case DriverAction::GameExplorer:
    RunGameExplorerStep();
    next = 48;
    break;
  case DriverAction::RunPrograms:
    RunProgramList();
    next = 50;
    break;
  case DriverAction::WriteLogs:
    WriteInstallLogs();
    next = StateResult;
    break;
  case DriverAction::ReportResult:
    next = ReportResult();
    break;
  }
  std::wstring finished;
  if (TakeFinishedFile(finished))
    RunLog::Write(finished);
  driverState = next;
  return next != StateEnd;
}

int CSetupObject::RunWizard()
{
  FillTemporaryFolder();
  if (switches.silent)
    return RunUnattended();
  // The copy and the steps after it run inside the wizard, from its last
  // page; it ends with Finish once they are done.
  if (!RunSetupWizard(*this))
  {
    // Whatever the worker still writes must end before the undoing.
    StopCopy();
    resultCode = ResultCancelled;
  }
  return StateResult;
}

int CSetupObject::RunUnattended()
{
  // What the destination page would have checked and settled.
  if (installFolder.empty())
  {
    resultCode = ResultError;
    return StateResult;
  }
  installFolder = WithBackslash(installFolder);
  // The copy page's ticks, without the page: the worker's end wakes the
  // loop instead of a timer.
  driverState = StateCopyStart;
  while (driverState != StateResult && driverState != StateEnd)
  {
    if (driverState == 11 && IsCopyRunning())
      WaitForCopyEnd(1000);
    Step();
  }
  return StateResult;
}
