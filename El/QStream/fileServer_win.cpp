#include "El/QStream/fileServer.hpp"

#include <windows.h>

// Handles are Win32 HANDLEs; INVALID_HANDLE_VALUE is -1. Names are narrow
// (ANSI code page) text, so the A functions are called explicitly.

namespace
{
HANDLE ToHandle(QFileHandle handle) { return reinterpret_cast<HANDLE>(handle); }
QFileHandle FromHandle(HANDLE handle) { return reinterpret_cast<QFileHandle>(handle); }

QFileHandle Create(const char *name, DWORD access, DWORD share, DWORD disposition)
{
  if (!name)
  {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return -1;
  }
  return FromHandle(CreateFileA(name, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// ReadFile and WriteFile take a DWORD count.
constexpr QFileSize MaxTransfer = 0x40000000;

bool ReadAt(HANDLE handle, char *data, QFileSize length, QFileSize &done)
{
  done = 0;
  while (data && done < length)
  {
    QFileSize chunk = length - done < MaxTransfer ? length - done : MaxTransfer;
    DWORD got = 0;
    if (!ReadFile(handle, data + done, static_cast<DWORD>(chunk), &got, nullptr) || got == 0)
      return false;
    done += got;
  }
  return true;
}
} // namespace

QFileSize QIFileServerFunctions::ReadBytes(QFileHandle handle, void *destination, QFileSize position, QFileSize length)
{
  QFileSize done = 0;
  if (length > 0 && SeekHandle(handle, position))
    ReadAt(ToHandle(handle), static_cast<char *>(destination), length, done);
  return done;
}

QFileHandle QIFileServerFunctions::OpenRead(const char *name)
{
  return Create(name, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
}

QFileHandle QIFileServerFunctions::OpenWrite(const char *name) { return Create(name, GENERIC_WRITE, 0, CREATE_ALWAYS); }

QFileHandle QIFileServerFunctions::OpenAppend(const char *name)
{
  QFileHandle handle = Create(name, GENERIC_WRITE, 0, OPEN_ALWAYS);
  if (handle == -1)
    return -1;
  LARGE_INTEGER zero;
  zero.QuadPart = 0;
  if (!SetFilePointerEx(ToHandle(handle), zero, nullptr, FILE_END))
  {
    DWORD error = GetLastError();
    ::CloseHandle(ToHandle(handle));
    SetLastError(error);
    return -1;
  }
  return handle;
}

void QIFileServerFunctions::CloseRead(const char *name, QFileHandle handle)
{
  (void)name;
  CloseHandle(handle);
}

std::int64_t QIFileServerFunctions::FileTime(QFileHandle handle)
{
  FILETIME written;
  if (!GetFileTime(ToHandle(handle), nullptr, nullptr, &written))
    return 0;
  // FILETIME counts 100 ns ticks from 1601-01-01 UTC.
  std::uint64_t ticks = (static_cast<std::uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
  constexpr std::int64_t ticksTo1970 = 116444736000000000;
  return (static_cast<std::int64_t>(ticks) - ticksTo1970) / 10000000;
}

QFileSize QIFileServerFunctions::FileSize(QFileHandle handle)
{
  // INVALID_FILE_SIZE is (QFileSize)-1 already.
  return static_cast<QFileSize>(GetFileSize(ToHandle(handle), nullptr));
}

QFileSize QIFileServerFunctions::ReadHandle(QFileHandle handle, void *data, QFileSize length)
{
  QFileSize done = 0;
  ReadAt(ToHandle(handle), static_cast<char *>(data), length, done);
  return done;
}

QFileSize QIFileServerFunctions::WriteHandle(QFileHandle handle, const void *data, QFileSize length)
{
  const char *bytes = static_cast<const char *>(data);
  QFileSize done = 0;
  while (bytes && done < length)
  {
    QFileSize chunk = length - done < MaxTransfer ? length - done : MaxTransfer;
    DWORD put = 0;
    if (!WriteFile(ToHandle(handle), bytes + done, static_cast<DWORD>(chunk), &put, nullptr) || put == 0)
      break;
    done += put;
  }
  return done;
}

bool QIFileServerFunctions::SeekHandle(QFileHandle handle, std::uint64_t position)
{
  if (position > static_cast<std::uint64_t>(0x7fffffffffffffffLL))
  {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return false;
  }
  LARGE_INTEGER target;
  target.QuadPart = static_cast<LONGLONG>(position);
  return SetFilePointerEx(ToHandle(handle), target, nullptr, FILE_BEGIN) != 0;
}

bool QIFileServerFunctions::CloseHandle(QFileHandle handle) { return ::CloseHandle(ToHandle(handle)) != 0; }

bool QIFileServerFunctions::RemoveFile(const char *name)
{
  if (!name)
  {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  // A read-only file cannot be deleted.
  SetFileAttributesA(name, FILE_ATTRIBUTE_NORMAL);
  return DeleteFileA(name) != 0;
}

unsigned long QIFileServerFunctions::LastError() { return GetLastError(); }
