#include "El/QStream/fileServer.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

// Handles are file descriptors. 0 and -1 mean "invalid" to the stream
// library, so a descriptor below 3 is never handed out.

namespace
{
// A name with "\" separators turned into "/", in a buffer of the system's
// path length. False (errno set) when there is no name or it is too long.
class PosixName
{
public:
  explicit PosixName(const char *name)
  {
    if (!name)
    {
      errno = ENOENT;
      return;
    }
    std::size_t length = std::strlen(name);
    if (length >= sizeof _path)
    {
      errno = ENAMETOOLONG;
      return;
    }
    for (std::size_t i = 0; i <= length; ++i)
      _path[i] = name[i] == '\\' ? '/' : name[i];
    _valid = true;
  }

  bool Valid() const { return _valid; }
  const char *Path() const { return _path; }

private:
  char _path[4096];
  bool _valid = false;
};

// Moves a descriptor that landed on 0, 1 or 2 (possible when the process was
// started with standard streams closed) above them.
QFileHandle AboveStandardStreams(int fd)
{
  if (fd < 0)
    return -1;
  if (fd >= 3)
    return fd;
  int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  int saved = errno;
  close(fd);
  errno = saved;
  return moved < 0 ? -1 : moved;
}

QFileHandle OpenWithFlags(const char *name, int flags)
{
  PosixName path(name);
  if (!path.Valid())
    return -1;
  int fd;
  do
    fd = open(path.Path(), flags | O_CLOEXEC, 0666);
  while (fd < 0 && errno == EINTR);
  return AboveStandardStreams(fd);
}

int Descriptor(QFileHandle handle)
{
  if (handle < 0 || handle > std::numeric_limits<int>::max())
    return -1;
  return static_cast<int>(handle);
}
} // namespace

QFileSize QIFileServerFunctions::ReadBytes(QFileHandle handle, void *destination, QFileSize position, QFileSize length)
{
  char *data = static_cast<char *>(destination);
  int fd = Descriptor(handle);
  QFileSize done = 0;
  while (data && done < length)
  {
    ssize_t got = pread(fd, data + done, length - done, static_cast<off_t>(position) + static_cast<off_t>(done));
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      break;
    done += static_cast<QFileSize>(got);
  }
  return done;
}

QFileHandle QIFileServerFunctions::OpenRead(const char *name)
{
  QFileHandle handle = OpenWithFlags(name, O_RDONLY);
  if (handle == -1)
    return -1;
  // A directory opens for reading on POSIX but not on Windows, where the
  // attempt reports access denied.
  struct stat info;
  if (fstat(static_cast<int>(handle), &info) != 0 || S_ISDIR(info.st_mode))
  {
    close(static_cast<int>(handle));
    errno = EACCES;
    return -1;
  }
  return handle;
}

QFileHandle QIFileServerFunctions::OpenWrite(const char *name)
{
  return OpenWithFlags(name, O_WRONLY | O_CREAT | O_TRUNC);
}

QFileHandle QIFileServerFunctions::OpenAppend(const char *name)
{
  // Not O_APPEND: that would send every write to the end and defeat seeks.
  QFileHandle handle = OpenWithFlags(name, O_WRONLY | O_CREAT);
  if (handle == -1)
    return -1;
  if (lseek(static_cast<int>(handle), 0, SEEK_END) < 0)
  {
    int saved = errno;
    close(static_cast<int>(handle));
    errno = saved;
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
  struct stat info;
  if (fstat(Descriptor(handle), &info) != 0)
    return 0;
  return static_cast<std::int64_t>(info.st_mtime);
}

QFileSize QIFileServerFunctions::FileSize(QFileHandle handle)
{
  struct stat info;
  if (fstat(Descriptor(handle), &info) != 0)
    return static_cast<QFileSize>(-1);
  return static_cast<QFileSize>(static_cast<std::uint64_t>(info.st_size));
}

QFileSize QIFileServerFunctions::ReadHandle(QFileHandle handle, void *data, QFileSize length)
{
  int fd = Descriptor(handle);
  char *bytes = static_cast<char *>(data);
  QFileSize done = 0;
  while (bytes && done < length)
  {
    ssize_t got = read(fd, bytes + done, length - done);
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      break;
    done += static_cast<QFileSize>(got);
  }
  return done;
}

QFileSize QIFileServerFunctions::WriteHandle(QFileHandle handle, const void *data, QFileSize length)
{
  int fd = Descriptor(handle);
  const char *bytes = static_cast<const char *>(data);
  QFileSize done = 0;
  while (bytes && done < length)
  {
    ssize_t put = write(fd, bytes + done, length - done);
    if (put < 0 && errno == EINTR)
      continue;
    if (put <= 0)
      break;
    done += static_cast<QFileSize>(put);
  }
  return done;
}

bool QIFileServerFunctions::SeekHandle(QFileHandle handle, std::uint64_t position)
{
  if (position > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
  {
    errno = EINVAL;
    return false;
  }
  return lseek(Descriptor(handle), static_cast<off_t>(position), SEEK_SET) >= 0;
}

bool QIFileServerFunctions::CloseHandle(QFileHandle handle)
{
  int fd = Descriptor(handle);
  if (fd < 0)
  {
    errno = EBADF;
    return false;
  }
  // Linux releases the descriptor even when close reports EINTR: never retry.
  return close(fd) == 0;
}

bool QIFileServerFunctions::RemoveFile(const char *name)
{
  PosixName path(name);
  if (!path.Valid())
    return false;
  // Removal does not need write permission here, but the file is made
  // writable first as on Windows, where a read-only file cannot be deleted.
  struct stat info;
  if (lstat(path.Path(), &info) == 0 && S_ISREG(info.st_mode) && !(info.st_mode & S_IWUSR))
    chmod(path.Path(), (info.st_mode & 07777) | S_IWUSR);
  return unlink(path.Path()) == 0;
}

unsigned long QIFileServerFunctions::LastError()
{
  switch (errno)
  {
  case 0:
    return 0;
  case ENOENT:
    return 2; // ERROR_FILE_NOT_FOUND
  case ENOTDIR:
    return 3; // ERROR_PATH_NOT_FOUND
  case EACCES:
  case EPERM:
  case EROFS:
    return 5; // ERROR_ACCESS_DENIED
  case EBUSY:
  case ETXTBSY:
    return 32; // ERROR_SHARING_VIOLATION
  case EIO:
    return 23; // ERROR_CRC
  case ENOSPC:
    return 39; // ERROR_HANDLE_DISK_FULL
  case EBADF:
    return 6; // ERROR_INVALID_HANDLE
  default:
    return 31; // ERROR_GEN_FAILURE
  }
}
