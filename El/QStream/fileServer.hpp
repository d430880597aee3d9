#pragma once

#include "El/QStream/qStreamBuffer.hpp"
#include "Es/Strings/rString.hpp"

#include <cstdint>

// An open file as the file server sees it. Windows: the HANDLE. POSIX: the
// file descriptor. 0 and -1 are never valid handles.
using QFileHandle = std::intptr_t;

// Told when a preload it asked for is done.
class IPreloadRequestor
{
public:
  virtual void RequestDone(void *argument, int reason) = 0;

protected:
  ~IPreloadRequestor() = default;
};

// The file server: the stream library's only way to the file system. One
// process-wide instance serves every buffer and stream; a host may install
// another. It holds no state, so any thread may call it.
//
// Names use "\" or "/" as separators; on POSIX both are accepted. The slot
// order is part of the contract.
class QIFileServerFunctions
{
public:
  constexpr QIFileServerFunctions() = default;
  QIFileServerFunctions(const QIFileServerFunctions &) = delete;
  QIFileServerFunctions &operator=(const QIFileServerFunctions &) = delete;
  virtual ~QIFileServerFunctions() = default;

  // Drops any cached read handle of a file about to be written or deleted.
  virtual bool FlushReadHandle(const char *name);
  // Asks for a region to be read ahead. The default reads nothing and tells
  // the requestor (if any) at once.
  virtual bool Preload(IPreloadRequestor *requestor, void *argument, int third, QFileHandle handle, QFileSize position,
                       QFileSize length);
  // Reads length bytes (at most one page) from position into a fresh page.
  // The segment's length is what was actually read (0 when the page could not
  // be allocated or nothing was read).
  virtual StreamSegment ReadPage(QFileHandle handle, QFileSize position, QFileSize length);
  virtual QFileHandle OpenRead(const char *name);
  // Creates or truncates.
  virtual QFileHandle OpenWrite(const char *name);
  // Opens or creates, positioned at the end.
  virtual QFileHandle OpenAppend(const char *name);
  virtual void MakeReadHandlePermanent(QFileHandle handle);
  virtual RString HandleName(QFileHandle handle);
  virtual void CloseRead(const char *name, QFileHandle handle);
  virtual bool IsValid(QFileHandle handle) const;
  virtual int PageSize() const;
  // Copies a file; nothing happens when the names are equal ignoring case.
  virtual void DuplicateFile(const char *source, const char *destination);
  // Last write time in whole seconds since 1970-01-01 UTC.
  virtual std::int64_t FileTime(QFileHandle handle);
  // The size (low 32 bits); (QFileSize)-1 when it cannot be read.
  virtual QFileSize FileSize(QFileHandle handle);
  virtual QFileHandle WinHandle(QFileHandle handle);
  // Reads up to length bytes from position straight into destination;
  // answers the bytes read (fewer at the end of the file or on an error).
  // ReadPage reads through it.
  virtual QFileSize ReadBytes(QFileHandle handle, void *destination, QFileSize position, QFileSize length);

  // Raw operations on an open handle, for the output stream and the loaded
  // buffer. They are not replaceable slots.

  // Bytes actually read or written (0 on failure).
  static QFileSize ReadHandle(QFileHandle handle, void *data, QFileSize length);
  static QFileSize WriteHandle(QFileHandle handle, const void *data, QFileSize length);
  // Moves the file pointer to an absolute position; false on failure.
  static bool SeekHandle(QFileHandle handle, std::uint64_t position);
  static bool CloseHandle(QFileHandle handle);
  // Removes a file, clearing its read-only attribute first; true when removed.
  static bool RemoveFile(const char *name);
  // The calling thread's last system error as a Windows error number (on
  // POSIX errno translated to its Windows counterpart).
  static unsigned long LastError();
};

// The server in use; it points at a default instance from the start.
extern QIFileServerFunctions *GFileServerFunctions;
// Installs another server (nullptr restores the default); answers the old one.
QIFileServerFunctions *SetFileServerFunctions(QIFileServerFunctions *server);

// Free functions over the file server; each takes a file name.
std::int64_t QFileTimeOf(const char *name);  // 0 when the file cannot be opened
QFileSize QFileSizeOf(const char *name);     // 0 when it cannot be opened or sized
bool QFileExists(const char *name);          // an OpenRead gives a valid handle
bool QDeleteFile(const char *name);          // true when removed
bool QDeleteFileIfPresent(const char *name); // true also when it did not exist
