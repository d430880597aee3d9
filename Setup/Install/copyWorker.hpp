#pragma once

#include "Es/Common/crc32Table.hpp"
#include "Setup/Install/archiveTable.hpp"
#include "Setup/Install/bankCache.hpp"
#include "Setup/Install/copyExtraction.hpp"

#include <cstdint>
#include <memory>
#include <string>

#include <windows.h>

class CSetupObject;

// The copy worker: a thread started by the run's first StartFileCopy, which
// copies one file for each start. For each file it takes what it needs from
// the configuration object under its lock, copies the file, and leaves its
// progress and any error there, again under the lock; it owns its bank,
// streams, buffer and file handles. It never shows anything: an error is the
// key of a text and a path, which the main thread shows.
class CCopyWorker
{
public:
  // The thread's entry point; the argument is the configuration object. It
  // copies a file each time one is started, and ends when it finds the exit
  // flag set.
  static DWORD WINAPI Main(void *setup);

  // Bytes moved per read and write.
  static constexpr int ChunkSize = 262144;

private:
  // buffer: ChunkSize bytes, or null when they could not be had; banks: the
  // thread's bank kept from file to file.
  CCopyWorker(CSetupObject &setup, char *buffer, CBankCache &banks);

  // Steps 1 to 3: the job's texts and data, and on the run's first file the
  // archive table and folder. False, with the error left, when the archives
  // cannot be found.
  bool TakeJob();
  void SearchArchiveFolder();
  void CopyPlainFile();
  void CopyMember();
  // Ends the worker: the running flag cleared, the main thread woken.
  void Finish();

  // Adds a copied chunk to the shared count; answers whether a stop was
  // requested meanwhile.
  bool CountChunk(std::int64_t bytes);
  void TakeBackAttempt(std::int64_t bytes);
  void Fail(const wchar_t *key, const std::wstring &path);

  CSetupObject &_setup;
  // For the log file: the bytes of the last attempt and the attempts made.
  std::int64_t _bytes = 0;
  int _attempts = 0;
  std::wstring _source;
  std::wstring _destination;
  CopyExtraction _job;
  ArchiveTable _table;
  std::wstring _archiveFolder;
  std::wstring _hostPath;
  Crc32Table _crc;
  char *_buffer;
  CBankCache &_banks;
};

// A destination file written through the wide file API, not shared while it
// is written.
class CDestinationFile
{
public:
  CDestinationFile() = default;
  ~CDestinationFile() { Close(); }
  CDestinationFile(const CDestinationFile &) = delete;
  CDestinationFile &operator=(const CDestinationFile &) = delete;

  // Creates or truncates the file; false when it cannot be had.
  bool Create(const std::wstring &path);
  // Writes all of the bytes; false on a failed or short write.
  bool Write(const void *bytes, std::size_t count);
  void Close();

private:
  HANDLE _file = INVALID_HANDLE_VALUE;
};
