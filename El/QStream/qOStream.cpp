#include "El/QStream/qOStream.hpp"

#include <algorithm>
#include <cstring>

namespace
{
// The largest buffer a stream asks for: the largest power of two an int holds.
constexpr int MaxBufferSize = 1 << 30;

// Doubles capacity (starting from the initial size when there is none) until
// it holds needed bytes or reaches the largest buffer.
int GrownCapacity(int capacity, std::int64_t needed, int initial)
{
  std::int64_t grown = capacity > 0 ? capacity : initial;
  while (grown < needed && grown < MaxBufferSize)
    grown *= 2;
  return static_cast<int>(std::min<std::int64_t>(grown, MaxBufferSize));
}
} // namespace

QOStream::QOStream() : _buffer(new QIStreamBuffer(InitialBufferSize)) {}

void QOStream::ResetPositions()
{
  _bufferOffset = 0;
  _bufferSize = 0;
  _bufferStart = 0;
  _fileSize = 0;
}

void QOStream::PutSlow(char c)
{
  int capacity = _buffer->Size();
  if (capacity < static_cast<std::int64_t>(_bufferOffset) + 1)
    Flush(GrownCapacity(capacity, static_cast<std::int64_t>(capacity) * 2, InitialBufferSize));
  // Still no room means the buffer could not grow: the byte is lost, never
  // written past the buffer's end.
  if (_bufferOffset >= _buffer->Size())
    return;
  _buffer->DataLock()[_bufferOffset++] = c;
  _bufferSize = std::max(_bufferSize, _bufferOffset);
  _fileSize = std::max(_fileSize, tellp());
}

QFileSize QOStream::WriteSlow(const void *data, QFileSize n)
{
  const char *bytes = static_cast<const char *>(data);
  QFileSize remaining = bytes ? n : 0;
  while (remaining > 0)
  {
    int capacity = _buffer->Size();
    std::int64_t needed = static_cast<std::int64_t>(_bufferOffset) + remaining;
    if (capacity < needed)
      Flush(GrownCapacity(capacity, needed, InitialBufferSize));
    int room = _buffer->Size() - _bufferOffset;
    // A buffer that failed to grow (or a flush that kept it full) takes no
    // more bytes: stop rather than loop for ever.
    if (room <= 0)
      break;
    QFileSize chunk = std::min(static_cast<QFileSize>(room), remaining);
    std::memcpy(_buffer->DataLock() + _bufferOffset, bytes, chunk);
    bytes += chunk;
    remaining -= chunk;
    _bufferOffset += static_cast<int>(chunk);
    _bufferSize = std::max(_bufferSize, _bufferOffset);
  }
  _fileSize = std::max(_fileSize, tellp());
  return tellp();
}

void QOFStream::open(const char *name) { OpenWith(name, false); }

void QOFStream::openForAppend(const char *name) { OpenWith(name, true); }

void QOFStream::OpenWith(const char *name, bool append)
{
  if (_file != 0)
    Close();
  _fail = false;
  _error = LSOK;
  ResetPositions();

  RString converted(name);
  if (char *text = converted.MakeMutable())
    for (; *text; ++text)
      if (*text == '/')
        *text = '\\';

  GFileServerFunctions->FlushReadHandle(converted);
  QFileHandle handle =
      append ? GFileServerFunctions->OpenAppend(converted) : GFileServerFunctions->OpenWrite(converted);
  if (!GFileServerFunctions->IsValid(handle))
  {
    _fail = true;
    _error = LSErrorFromSystemError(QIFileServerFunctions::LastError());
    return;
  }
  _file = handle;
  if (append)
  {
    // Positions count from the start of the file: tellp and SeekP must see
    // the bytes already there.
    QFileSize size = GFileServerFunctions->FileSize(handle);
    if (size == static_cast<QFileSize>(-1))
      SetFailed();
    else
      _bufferStart = _fileSize = size;
  }
}

void QOFStream::SetFailed()
{
  _fail = true;
  if (_error != LSOK)
    return;
  _error = LSErrorFromSystemError(QIFileServerFunctions::LastError());
  // A failure must never read as success, even when the system gave no reason.
  if (_error == LSOK)
    _error = LSUnknownError;
}

void QOFStream::Flush(int capacity)
{
  // The buffer keeps its size: a file stream empties it instead of growing.
  (void)capacity;
  if (_file != 0 && !_fail && _bufferSize > 0)
  {
    QFileSize size = static_cast<QFileSize>(_bufferSize);
    if (QIFileServerFunctions::WriteHandle(_file, _buffer->Data(), size) < size)
      SetFailed();
  }
  // The file pointer now stands after the valid bytes; the next byte belongs
  // at the write offset, which lies before that after a SeekP back.
  _bufferStart += static_cast<QFileSize>(_bufferOffset);
  if (_bufferOffset != _bufferSize && _file != 0 && !_fail)
  {
    if (!QIFileServerFunctions::SeekHandle(_file, _bufferStart))
      SetFailed();
  }
  _bufferOffset = 0;
  _bufferSize = 0;
}

void QOFStream::SeekP(QFileSize position)
{
  if (position >= _bufferStart && position - _bufferStart <= static_cast<QFileSize>(_bufferSize))
  {
    _bufferOffset = static_cast<int>(position - _bufferStart);
    return;
  }
  Flush(_buffer->Size());
  _bufferStart = position;
  if (_file != 0 && !_fail && !QIFileServerFunctions::SeekHandle(_file, position))
    SetFailed();
}

int QOFStream::Close()
{
  if (_file == 0)
    return 0;
  Flush(_buffer->Size());
  if (!QIFileServerFunctions::CloseHandle(_file))
    SetFailed();
  _file = 0;
  ResetPositions();
  // SetFailed never leaves LSOK behind, so a failed stream answers non-zero.
  return _fail ? _error : LSOK;
}

void QOStrStream::Flush(int capacity)
{
  // Memory streams never move their start: every byte written stays.
  int keep = std::max(static_cast<int>(_fileSize - _bufferStart), _bufferSize);
  if (capacity < keep)
    capacity = keep;
  if (capacity == _buffer->Size())
    return;
  _buffer->Resize(capacity, keep);
  // A failed resize has dropped the bytes: start over rather than point past
  // the (now empty) buffer.
  if (_buffer->Size() != capacity)
    ResetPositions();
}

void QOStrStream::SeekP(QFileSize position)
{
  QFileSize end = std::max(_fileSize, _bufferStart + static_cast<QFileSize>(_bufferSize));
  if (position > end)
    position = end;
  if (position < _bufferStart)
    position = _bufferStart;
  _bufferOffset = static_cast<int>(position - _bufferStart);
}
