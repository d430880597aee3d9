#include "El/Stringtable/textLookup.hpp"
#include "Es/Strings/wideText.hpp"
#include "Setup/Install/copyWorker.hpp"
#include "Setup/Install/fileQueries.hpp"
#include "Setup/Script/setupObject.hpp"

#include <vector>

namespace
{
bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The length of a path's root: "C:\", "\\server\share\" and the like are
// skipped by the folder walk, never created.
std::size_t RootLength(const std::wstring &path)
{
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]))
  {
    // A leading double separator: the walk starts after it.
    return 2;
  }
  if (path.size() >= 3 && path[1] == L':' && IsSeparator(path[2]))
    return 3;
  if (!path.empty() && IsSeparator(path[0]))
    return 1;
  return 0;
}
} // namespace

CopyThreadStarter &StartCopyThread()
{
  static CopyThreadStarter starter = [](LPTHREAD_START_ROUTINE routine, void *argument) -> HANDLE
  { return CreateThread(nullptr, 0, routine, argument, 0, nullptr); };
  return starter;
}

std::wstring CSetupObject::HostFilePath() const
{
  if (!resourceModulePath.empty())
    return resourceModulePath;
  std::vector<wchar_t> name(1025);
  DWORD length = GetModuleFileNameW(nullptr, name.data(), 1024);
  return std::wstring(name.data(), length);
}

bool CSetupObject::CreateDestinationFolders(const std::wstring &destination, const std::wstring &logName)
{
  std::vector<wchar_t> full(MAX_PATH + 1);
  DWORD length = GetFullPathNameW(destination.c_str(), MAX_PATH, full.data(), nullptr);
  if (length == 0 || length >= MAX_PATH)
    return false;
  std::wstring path(full.data(), length);
  std::size_t last = path.find_last_of(L"\\/");
  if (last == std::wstring::npos)
    return true;
  path.resize(last);

  for (std::size_t at = RootLength(path); at <= path.size(); ++at)
  {
    if (at < path.size() && !IsSeparator(path[at]))
      continue;
    std::wstring folder = path.substr(0, at);
    if (folder.empty() || IsSeparator(folder.back()))
      continue;
    // Each test costs the system several calls, which ten thousand small
    // files in a few folders would repeat for nothing.
    if (!_knownFolders.count(folder))
    {
      if (!SetCurrentDirectoryW(folder.c_str()) && !CreateDirectoryW(folder.c_str(), nullptr) &&
          GetLastError() == ERROR_PATH_NOT_FOUND)
        return false;
      _knownFolders.insert(folder);
    }
    AddLogRecord(logName, L'D', folder);
  }
  return true;
}

bool CSetupObject::StartFileCopy(const std::vector<std::wstring> &logList, const std::wstring &destination,
                                 const std::wstring &sourceName, std::uint32_t expectedCrc, bool verify,
                                 const CSetupFileItem &item)
{
  if (IsCopyRunning())
    return false;
  std::wstring source =
      currentMedium ? currentMediumRoot + currentMedium->folder + sourceName : sourceFolder + sourceName;

  CopyExtraction extraction;
  extraction.expectedCrc = expectedCrc;
  extraction.verify = verify;
  extraction.archiveNumber = item.archiveNumber;
  extraction.size = item.size;
  extraction.memberName = sourceName;
  extraction.hostPath = HostFilePath();
  extraction.sourceFolder = sourceFolder;
  extraction.mediumGeneration = _mediumGeneration;
  if (item.archiveNumber == 0)
  {
    std::span<const char> bytes = FindNamedResource(Utf8FromWide(sourceName).c_str());
    extraction.resourceBytes = bytes.empty() ? nullptr : bytes.data();
    extraction.resourceSize = bytes.size();
  }
  Lock();
  bool tableLoaded = _archiveTable.loaded;
  Unlock();
  // Only the run's first file needs to know; the lookup may load the list.
  if (!tableLoaded)
    extraction.numberedArchives = HasNumberedArchives();

  if (item.archiveNumber == -1)
  {
    std::wstring temporary = TemporaryFolder();
    if (!_stagingFolderExists)
      _stagingFolderExists = !temporary.empty() && FolderExists(temporary);
    std::wstring staged = *_stagingFolderExists ? temporary + L"\\" + sourceName : std::wstring();
    if (!staged.empty() && FileExists(staged))
      source = staged;
    else if (!FileExists(source))
    {
      MessageBox(FormatText(LocalizeKey(L"SETUP_STR_ERR_FILE_NOT_FOUND"), source), MB_ICONERROR);
      resultCode = ResultInternalError;
      return false;
    }
  }

  Lock();
  _currentDestination = destination;
  _currentSource = source;
  _extraction = std::move(extraction);
  _copyStopRequest = 0;
  _copyRunning = 0;
  _copyErrorKey.clear();
  _copyErrorPath.clear();
  Unlock();

  // A name from a file list that climbs out of the install folder is never
  // written: it is reported as a source that cannot be read.
  if (item.nameOutsideFolder)
  {
    SetCopyError(L"SETUP_STR_ERR_FILE_READ", source);
    return true;
  }

  // Without a log the folders are still made, recorded nowhere.
  std::vector<std::wstring> folderLogs = logList.empty() ? std::vector<std::wstring>{std::wstring()} : logList;
  for (const std::wstring &log : folderLogs)
    if (!CreateDestinationFolders(destination, log))
    {
      MessageBox(FormatText(LocalizeKey(L"SETUP_STR_UNABLE_CREATE_PATH"), destination), MB_ICONERROR);
      return false;
    }

  SetCopyRunning(true);
  if (!copyWorker)
    copyWorker = StartCopyThread()(&CCopyWorker::Main, this);
  if (!copyWorker)
  {
    // No worker will ever clear the flag: the copy step would wait forever.
    SetCopyRunning(false);
    MessageBox(L"Cannot create Thread.", MB_ICONERROR);
    return false;
  }
  Lock();
  _copyJobPending = 1;
  WakeAllConditionVariable(&_copyChanged);
  Unlock();
  for (const std::wstring &log : logList)
    AddLogRecord(log, L'F', destination);
  return true;
}
