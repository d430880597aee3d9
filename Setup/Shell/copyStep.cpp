#include "Setup/Script/setupObject.hpp"
#include "Setup/Shell/runLog.hpp"
#include "Setup/Wizard/insertCdRomDlg.hpp"

int CSetupObject::RunCopyStep()
{
  if (IsCopyRunning())
    return 11;
  std::wstring error;
  if (TakeCopyError(error))
  {
    MessageBox(error, MB_ICONERROR);
    resultCode = ResultError;
    return StateResult;
  }
  if (copyList.empty())
    return 12;

  std::unique_ptr<CSetupFileItem> item = std::move(copyList.front());
  copyList.pop_front();
  for (;;)
  {
    if (item->medium != currentMedium)
    {
      if (!SwitchMedium(item->medium))
      {
        resultCode = ResultError;
        return StateResult;
      }
      currentMedium = item->medium;
      ++_mediumGeneration;
    }
    if (!item->directory)
      break;
    // The folder's files are copied next, in the order they are found, and
    // are verified by exactly the CRC entries that name them.
    std::wstring root = currentMedium ? currentMediumRoot + currentMedium->folder : sourceFolder;
    std::size_t inserted =
        ExpandFolder(item->logList, root, item->sourceName, item->destination, item->medium, copyList.begin());
    ApplyCrcList(copyList.begin(), std::next(copyList.begin(), static_cast<std::ptrdiff_t>(inserted)));
    if (copyList.empty())
      return 11;
    item = std::move(copyList.front());
    copyList.pop_front();
  }

  std::wstring destination = installFolder;
  if (destination.empty() || destination.back() != L'\\')
    destination += L'\\';
  destination += item->destination;
  if (!StartFileCopy(item->logList, destination, item->sourceName, item->expectedCrc, item->verify, *item))
  {
    resultCode = ResultError;
    return StateResult;
  }
  return 11;
}

bool CSetupObject::SwitchMedium(CCdRom *medium)
{
  // Items declared before the first medium have none: they are read from
  // the source folder, and never follow an item of a medium.
  if (!medium)
    return true;
  if (FindMedium(*medium, currentMediumRoot))
  {
    RunLog::Write(L"medium " + medium->volumeLabel + L" found in " + currentMediumRoot);
    return true;
  }
  // Only a person can insert a disc: the prompt appears in a silent run
  // too, unless the command line makes a missing medium an error.
  if (switches.noPrompt)
  {
    RunLog::Write(L"medium " + medium->volumeLabel + L" not in any drive (no prompt)");
    return false;
  }
  RunLog::Write(L"medium " + medium->volumeLabel + L" not in any drive: asking for it");
  CInsertCdRomDlg prompt(this, medium, &currentMediumRoot);
  bool inserted = prompt.DoModal() == IDOK;
  RunLog::Write(inserted ? L"medium " + medium->volumeLabel + L" inserted, in " + currentMediumRoot
                         : L"medium " + medium->volumeLabel + L" not inserted");
  return inserted;
}
