#include "Setup/Script/setupObject.hpp"

void CSetupObject::StopCopy()
{
  if (!copyWorker)
    return;
  // The worker looks at the request after every chunk it writes.
  if (IsCopyRunning())
  {
    RequestCopyStop();
    WaitForSingleObject(copyWorker, INFINITE);
  }
  CloseHandle(copyWorker);
  copyWorker = nullptr;
}
