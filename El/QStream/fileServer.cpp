#include "El/QStream/fileServer.hpp"

#include "El/QStream/qOStream.hpp"
#include "El/QStream/qStream.hpp"
#include "Es/Common/neverDestroyed.hpp"

#include <algorithm>

// The operating-system slots (ReadPage, the opens, CloseRead, FileTime,
// FileSize) and the raw handle operations live in fileServer_win.cpp and
// fileServer_posix.cpp; everything here is the same on every system.

bool QIFileServerFunctions::FlushReadHandle(const char *name)
{
  (void)name;
  return true;
}

bool QIFileServerFunctions::Preload(IPreloadRequestor *requestor, void *argument, int third, QFileHandle handle,
                                    QFileSize position, QFileSize length)
{
  (void)third, (void)handle, (void)position, (void)length;
  if (requestor)
    requestor->RequestDone(argument, 0);
  return true;
}

void QIFileServerFunctions::MakeReadHandlePermanent(QFileHandle handle) { (void)handle; }

RString QIFileServerFunctions::HandleName(QFileHandle handle)
{
  RString name;
  name.Format("Handle %x", static_cast<unsigned>(handle));
  return name;
}

bool QIFileServerFunctions::IsValid(QFileHandle handle) const { return handle != 0 && handle != -1; }

int QIFileServerFunctions::PageSize() const { return 8192; }

void QIFileServerFunctions::DuplicateFile(const char *source, const char *destination)
{
  if (!source || !destination)
    return;
  // Names differing only in case are one file on Windows: copying it onto
  // itself would truncate it first.
  if (CompareNoCase(source, destination) == 0)
    return;
  QIFStream in;
  in.open(source);
  // A source that does not open must not leave an empty copy behind.
  if (in.fail())
    return;
  QOFStream out;
  out.open(destination);
  in.copyTo(out);
  out.Close();
  in.close();
}

StreamSegment QIFileServerFunctions::ReadPage(QFileHandle handle, QFileSize position, QFileSize length)
{
  QFileSize page = static_cast<QFileSize>(PageSize());
  if (length > page)
    length = page;
  StreamSegment segment;
  segment.buffer = new QIStreamBufferPage(static_cast<int>(length));
  segment.start = position;
  // An allocation failure leaves a page of size 0: nothing is read into it.
  QFileSize wanted = std::min(static_cast<QFileSize>(segment.buffer->Size()), length);
  segment.length = wanted > 0 ? ReadBytes(handle, segment.buffer->DataLock(), position, wanted) : 0;
  return segment;
}

QFileHandle QIFileServerFunctions::WinHandle(QFileHandle handle) { return handle; }

namespace
{
// Streams closed by static destructors at process end still reach it.
constinit NeverDestroyed<QIFileServerFunctions> defaultServer;
} // namespace

constinit QIFileServerFunctions *GFileServerFunctions = &defaultServer.value;

QIFileServerFunctions *SetFileServerFunctions(QIFileServerFunctions *server)
{
  QIFileServerFunctions *previous = GFileServerFunctions;
  GFileServerFunctions = server ? server : &defaultServer.value;
  return previous;
}

std::int64_t QFileTimeOf(const char *name)
{
  QFileHandle handle = GFileServerFunctions->OpenRead(name);
  if (!GFileServerFunctions->IsValid(handle))
    return 0;
  std::int64_t time = GFileServerFunctions->FileTime(handle);
  GFileServerFunctions->CloseRead(name, handle);
  return time;
}

QFileSize QFileSizeOf(const char *name)
{
  QFileHandle handle = GFileServerFunctions->OpenRead(name);
  if (!GFileServerFunctions->IsValid(handle))
    return 0;
  QFileSize size = GFileServerFunctions->FileSize(handle);
  GFileServerFunctions->CloseRead(name, handle);
  return size == static_cast<QFileSize>(-1) ? 0 : size;
}

bool QFileExists(const char *name)
{
  QFileHandle handle = GFileServerFunctions->OpenRead(name);
  if (!GFileServerFunctions->IsValid(handle))
    return false;
  GFileServerFunctions->CloseRead(name, handle);
  return true;
}

bool QDeleteFile(const char *name)
{
  // A cached read handle would keep the file open (and on Windows undeletable).
  GFileServerFunctions->FlushReadHandle(name);
  return QIFileServerFunctions::RemoveFile(name);
}

bool QDeleteFileIfPresent(const char *name)
{
  if (!QFileExists(name))
    return true;
  return QDeleteFile(name);
}
