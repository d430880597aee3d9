#include "Setup/Script/setupObject.hpp"

void CSetupObject::StopCopy()
{
  if (!copyWorker)
    return;
  // The worker looks at the request after every chunk it writes; between
  // files it waits for the next start, which the exit flag turns into its
  // end.
  Lock();
  if (_copyRunning)
    _copyStopRequest = 1;
  _copyWorkerExit = 1;
  Unlock();
  SetEvent(_copyJob);
  WaitForSingleObject(copyWorker, INFINITE);
  CloseHandle(copyWorker);
  copyWorker = nullptr;
  // A file started but not yet taken up ends with the thread, uncopied.
  Lock();
  _copyWorkerExit = 0;
  _copyRunning = 0;
  Unlock();
  SetEvent(_copyEnded);
}

void CSetupObject::WaitForCopyEnd(DWORD milliseconds)
{
  if (IsCopyRunning())
    WaitForSingleObject(_copyEnded, milliseconds);
}
