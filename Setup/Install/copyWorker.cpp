#include "Setup/Install/copyWorker.hpp"

#include "Setup/Install/fileQueries.hpp"
#include "Setup/Script/setupObject.hpp"
#include "Setup/Shell/runLog.hpp"

#include <new>

DWORD WINAPI CCopyWorker::Main(void *argument)
{
  CSetupObject &setup = *static_cast<CSetupObject *>(argument);
  // One chunk buffer for the thread's life: no file or chunk allocates it.
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[ChunkSize]);
  CBankCache banks;
  for (;;)
  {
    setup.Lock();
    while (!setup._copyJobPending && !setup._copyWorkerExit)
      SleepConditionVariableCS(&setup._copyChanged, &setup._lock, INFINITE);
    bool exit = setup._copyWorkerExit != 0;
    setup._copyJobPending = 0;
    setup.Unlock();
    if (exit)
      return 0;
    // Everything of one file lives and dies with its worker object; only the
    // bank is kept for the next file, while the medium stays.
    CCopyWorker worker(setup, buffer.get(), banks);
    if (worker.TakeJob())
    {
      if (worker._job.archiveNumber < 0)
        worker.CopyPlainFile();
      else
        worker.CopyMember();
    }
    worker.Finish();
  }
}

CCopyWorker::CCopyWorker(CSetupObject &setup, char *buffer, CBankCache &banks)
    : _setup(setup), _buffer(buffer), _banks(banks)
{
}

bool CCopyWorker::TakeJob()
{
  _setup.Lock();
  _source = _setup._currentSource;
  _destination = _setup._currentDestination;
  _job = _setup._extraction;
  bool found = true;
  if (!_setup._archiveTable.loaded)
  {
    // The run's first file decides where the banks lie, once: appended to
    // the host file, or beside the installer or its resource module.
    _setup._archiveTable.LoadArchiveTable(_job.hostPath);
    if (_setup._archiveTable.entries.empty() && _job.numberedArchives)
    {
      SearchArchiveFolder();
      found = !_setup._archiveFolder.empty();
    }
  }
  _table = _setup._archiveTable;
  _archiveFolder = _setup._archiveFolder;
  _setup.Unlock();
  if (!found)
  {
    Fail(L"SETUP_STR_BIN_FILE_NOT_FOUND", std::wstring());
    return false;
  }
  if (!_buffer)
  {
    Fail(L"SETUP_STR_ERR_FILE_READ", _source);
    return false;
  }
  return true;
}

namespace
{
// The folder part of a path, with its trailing backslash: up to the last
// backslash, or up to a drive's colon when there is none.
std::wstring FolderOf(const std::wstring &path)
{
  std::size_t cut = path.find_last_of(L'\\');
  if (cut == std::wstring::npos)
    cut = path.find(L':');
  return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}
} // namespace

// Under the lock: the folder holding "setup01.bin", the source folder first,
// then the host file's folder.
void CCopyWorker::SearchArchiveFolder()
{
  if (CanReadFile(_job.sourceFolder + L"setup01.bin"))
  {
    _setup._archiveFolder = _job.sourceFolder;
    return;
  }
  std::wstring hostFolder = FolderOf(_job.hostPath);
  if (!hostFolder.empty() && CanReadFile(hostFolder + L"setup01.bin"))
    _setup._archiveFolder = hostFolder;
}

void CCopyWorker::Finish()
{
  // Ten thousand small files would build their lines for nobody.
  std::wstring line;
  if (RunLog::IsOpen())
    line = L"copied " + _source + L" to " + _destination + L": " + std::to_wstring(_bytes) + L" bytes, " +
           (_job.verify ? L"checksum verified, " : L"no checksum, ") + std::to_wstring(_attempts) +
           (_attempts == 1 ? L" attempt" : L" attempts");
  _setup.Lock();
  _setup._finishedFile = std::move(line);
  _setup._copyRunning = 0;
  WakeAllConditionVariable(&_setup._copyChanged);
  // The window that drives the copy learns at once that the next file can
  // start; a posted message is all the worker sends it.
  if (_setup._copyWakeWindow)
    PostMessageW(_setup._copyWakeWindow, _setup._copyWakeMessage, 0, 0);
  _setup.Unlock();
}

bool CCopyWorker::CountChunk(std::int64_t bytes)
{
  _setup.Lock();
  _setup._copiedBytes += bytes;
  bool stop = _setup._copyStopRequest != 0;
  _setup.Unlock();
  return stop;
}

void CCopyWorker::TakeBackAttempt(std::int64_t bytes)
{
  _setup.Lock();
  _setup._copiedBytes -= bytes;
  _setup.Unlock();
}

void CCopyWorker::Fail(const wchar_t *key, const std::wstring &path) { _setup.SetCopyError(key, path); }

bool CDestinationFile::Create(const std::wstring &path)
{
  Close();
  _file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  return _file != INVALID_HANDLE_VALUE;
}

bool CDestinationFile::Write(const void *bytes, std::size_t count)
{
  DWORD written = 0;
  return WriteFile(_file, bytes, static_cast<DWORD>(count), &written, nullptr) && written == count;
}

void CDestinationFile::Close()
{
  if (_file != INVALID_HANDLE_VALUE)
    CloseHandle(_file);
  _file = INVALID_HANDLE_VALUE;
}
