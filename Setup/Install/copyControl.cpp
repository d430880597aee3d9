#include "Setup/Script/setupObject.hpp"

void CSetupObject::StopCopy()
{
  if (!copyWorker)
    return;
  // The worker looks at the request after every chunk it writes; between
  // files it waits for the next start, and the exit flag ends it instead.
  Lock();
  if (_copyRunning)
    _copyStopRequest = 1;
  _copyWorkerExit = 1;
  WakeAllConditionVariable(&_copyChanged);
  Unlock();
  WaitForSingleObject(copyWorker, INFINITE);
  CloseHandle(copyWorker);
  copyWorker = nullptr;
  // A file started but not yet taken up ends with the thread, uncopied.
  Lock();
  _copyWorkerExit = 0;
  _copyJobPending = 0;
  _copyRunning = 0;
  WakeAllConditionVariable(&_copyChanged);
  Unlock();
}

void CSetupObject::WaitForCopyEnd(DWORD milliseconds)
{
  // One wait: the caller looks at the state again anyway, so a spurious
  // wake-up costs nothing.
  Lock();
  if (_copyRunning)
    SleepConditionVariableCS(&_copyChanged, &_lock, milliseconds);
  Unlock();
}

void CSetupObject::SetCopyWakeUp(HWND window, UINT message)
{
  Lock();
  _copyWakeWindow = window;
  _copyWakeMessage = message;
  Unlock();
}

bool CSetupObject::TakeFinishedFile(std::wstring &line)
{
  Lock();
  line.swap(_finishedFile);
  _finishedFile.clear();
  Unlock();
  return !line.empty();
}
