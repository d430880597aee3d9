#include "Setup/Script/setupObject.hpp"

void CSetupObject::StopCopy()
{
  if (!copyWorker)
    return;
  // The worker looks at the request after every chunk it writes. A worker
  // that has cleared its flag may still be leaving the lock: it is waited
  // for too, so the object can go right after.
  if (IsCopyRunning())
    RequestCopyStop();
  WaitForSingleObject(copyWorker, INFINITE);
  CloseHandle(copyWorker);
  copyWorker = nullptr;
}

void CSetupObject::WaitForCopyEnd(DWORD milliseconds)
{
  if (IsCopyRunning())
    WaitForSingleObject(_copyEnded, milliseconds);
}
