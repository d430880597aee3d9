#include "El/QStream/fileBuffer.hpp"

#include "El/QStream/qStream.hpp"
#include "El/QStream/ssCompress.hpp"
#include "Es/Framework/appFrame.hpp"

#include <algorithm>
#include <cstring>

namespace
{
// Memory-resident data is handed out in copies of this size.
constexpr QFileSize MemorySegmentSize = 4096;
// Read-ahead hints go to the file server in chunks of at least this size.
constexpr QFileSize MinReadAheadChunk = 32768;
} // namespace

void IFileBuffer::SegmentAt(StreamSegment &segment, QFileSize position) const
{
  segment = StreamSegment();
  const char *data = Data();
  QFileSize size = Size();
  if (!data || position >= size)
  {
    segment = StreamSegment::Empty(position);
    return;
  }
  QFileSize n = std::min(size - position, MemorySegmentSize);
  Ref<QIStreamBuffer> copy = new QIStreamBuffer(static_cast<int>(n));
  if (copy->Size() != static_cast<int>(n))
  {
    segment = StreamSegment::Empty(position);
    return;
  }
  std::memcpy(copy->DataLock(), data + position, n);
  segment.buffer = std::move(copy);
  segment.start = position;
  segment.length = n;
}

bool IFileBuffer::Request(IPreloadRequestor *, void *, int, QFileSize, QFileSize) const { return true; }

void IFileBuffer::ReadAhead(QFileSize, QFileSize) const {}

QFileSize IFileBuffer::ReadAt(void *destination, QFileSize position, QFileSize length) const
{
  if (length == 0)
    return 0;
  char *out = static_cast<char *>(destination);
  if (const char *data = Data())
  {
    QFileSize size = Size();
    if (position >= size)
      return 0;
    QFileSize n = std::min(length, size - position);
    std::memcpy(out, data + position, n);
    return n;
  }
  QFileSize done = 0;
  StreamSegment segment;
  while (done < length)
  {
    SegmentAt(segment, position);
    // A segment that does not reach the position (or an empty one) ends it.
    if (!segment.Covers(position))
      break;
    QFileSize offset = static_cast<QFileSize>(position - segment.start);
    QFileSize n = std::min(segment.length - offset, length - done);
    std::memcpy(out + done, segment.buffer->Data() + offset, n);
    done += n;
    position += n;
  }
  return done;
}

FileBufferMemory::FileBufferMemory(QFileSize size)
{
  if (size <= static_cast<QFileSize>(INT32_MAX))
    _data.Init(static_cast<int>(size));
}

FileBufferUncompressed::FileBufferUncompressed(QFileSize unpackedSize, QIStream &packed)
    : FileBufferMemory(unpackedSize)
{
  // The size check also keeps the size within what the decoder's long holds.
  if (_data.Size() != static_cast<int>(unpackedSize) ||
      !SSCompress().decode(_data.Data(), static_cast<long>(unpackedSize), packed))
    _data.Free();
}

void FileBufferError::SegmentAt(StreamSegment &segment, QFileSize position) const
{
  segment = StreamSegment::Empty(position);
}

FileBufferLoaded::FileBufferLoaded(const char *name, QFileSize start, QFileSize length)
{
  QIFileServerFunctions *server = GFileServerFunctions;
  QFileHandle handle = server->OpenRead(name);
  if (!server->IsValid(handle))
    return;
  QFileSize size = server->FileSize(server->WinHandle(handle));
  if (size != 0 && size != static_cast<QFileSize>(-1) && start < size)
  {
    QFileSize n = std::min(length, size - start);
    if (n <= static_cast<QFileSize>(INT32_MAX) && _data.Init(static_cast<int>(n)))
    {
      bool complete = QIFileServerFunctions::SeekHandle(handle, start) &&
                      QIFileServerFunctions::ReadHandle(handle, _data.Data(), n) == n;
      if (!complete)
      {
        unsigned long error = QIFileServerFunctions::LastError();
        _data.Free();
        ReadErrorReportF("File '%s' read error %lx", name, error);
      }
    }
  }
  server->CloseRead(name, handle);
}

FileBufferSub::FileBufferSub(IFileBuffer *base, QFileSize start, QFileSize length) : _base(base)
{
  QFileSize baseSize = base ? base->Size() : 0;
  if (!base)
    _base = new FileBufferError();
  _start = std::min(start, baseSize);
  _length = std::min(length, baseSize - _start);
}

const char *FileBufferSub::Data() const
{
  const char *data = _base->Data();
  return data ? data + _start : nullptr;
}

void FileBufferSub::ToBase(QFileSize &position, QFileSize &length) const
{
  position = std::min(position, _length);
  length = std::min(length, _length - position);
  position += _start;
}

void FileBufferSub::SegmentAt(StreamSegment &segment, QFileSize position) const
{
  QFileSize inWindow = std::min(position, _length);
  std::uint64_t asked = std::uint64_t(_start) + inWindow;
  _base->SegmentAt(segment, static_cast<QFileSize>(asked));
  // The base segment keeps its buffer; its start moves into the window's
  // numbering and its length stops at the window's end. It may begin before
  // the window, and a window onto a window gets segments that begin before
  // its base too ("negative" starts, modular): so the cut is measured from
  // the position asked for, never by comparing starts.
  std::uint64_t windowEnd = std::uint64_t(_start) + _length;
  QFileSize length = 0;
  if (segment.Covers(asked))
  {
    std::uint64_t before = asked - segment.start;
    length = static_cast<QFileSize>(before + std::min<std::uint64_t>(segment.length - before, windowEnd - asked));
  }
  segment.start -= _start;
  segment.length = length;
}

bool FileBufferSub::Request(IPreloadRequestor *requestor, void *argument, int third, QFileSize position,
                            QFileSize length) const
{
  ToBase(position, length);
  return _base->Request(requestor, argument, third, position, length);
}

void FileBufferSub::ReadAhead(QFileSize position, QFileSize length) const
{
  ToBase(position, length);
  _base->ReadAhead(position, length);
}

QFileSize FileBufferSub::ReadAt(void *destination, QFileSize position, QFileSize length) const
{
  ToBase(position, length);
  return length > 0 ? _base->ReadAt(destination, position, length) : 0;
}

FileBufferLoading::FileBufferLoading(const char *name) : _name(name)
{
  QIFileServerFunctions *server = GFileServerFunctions;
  QFileHandle handle = server->OpenRead(name);
  if (!server->IsValid(handle))
    return;
  _handle = handle;
  QFileSize size = server->FileSize(handle);
  _size = size == static_cast<QFileSize>(-1) ? 0 : size;
}

FileBufferLoading::~FileBufferLoading()
{
  if (GFileServerFunctions->IsValid(_handle))
    GFileServerFunctions->CloseRead(_name, _handle);
}

const char *FileBufferLoading::Data() const
{
  ReportAssertionFailure("El/QStream/qStream", __LINE__, "Cannot return data");
  return nullptr;
}

void FileBufferLoading::SegmentAt(StreamSegment &segment, QFileSize position) const
{
  // The old page goes first, so the allocator can hand it out again at once.
  segment = StreamSegment();
  QFileSize pageSize = static_cast<QFileSize>(GFileServerFunctions->PageSize());
  if (pageSize == 0)
    pageSize = 8192;
  QFileSize pageStart = std::min(position, _size) / pageSize * pageSize;
  if (pageStart < _size && !HasError())
    segment = GFileServerFunctions->ReadPage(_handle, pageStart, std::min(_size - pageStart, pageSize));
  else
    segment = StreamSegment::Empty(pageStart);
}

bool FileBufferLoading::Request(IPreloadRequestor *requestor, void *argument, int third, QFileSize position,
                                QFileSize length) const
{
  position = std::min(position, _size);
  length = std::min(_size - position, length);
  return GFileServerFunctions->Preload(requestor, argument, third, _handle, position, length);
}

void FileBufferLoading::ReadAhead(QFileSize position, QFileSize length) const
{
  position = std::min(position, _size);
  QFileSize remaining = std::min(_size - position, length);
  QFileSize chunk = static_cast<QFileSize>(GFileServerFunctions->PageSize());
  if (chunk == 0)
    chunk = MinReadAheadChunk;
  while (chunk < MinReadAheadChunk)
    chunk *= 2;
  while (remaining >= chunk)
  {
    GFileServerFunctions->Preload(nullptr, nullptr, 1, _handle, position, chunk);
    position += chunk;
    remaining -= chunk;
  }
  if (remaining > 0)
    GFileServerFunctions->Preload(nullptr, nullptr, 1, _handle, position, remaining);
}

QFileSize FileBufferLoading::ReadAt(void *destination, QFileSize position, QFileSize length) const
{
  if (HasError() || position >= _size)
    return 0;
  length = std::min(length, _size - position);
  return GFileServerFunctions->ReadBytes(_handle, destination, position, length);
}
