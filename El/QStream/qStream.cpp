#include "El/QStream/qStream.hpp"

#include "El/QStream/qOStream.hpp"

#include <algorithm>
#include <climits>
#include <cstring>

// --- QIStream ---------------------------------------------------------------

void QIStream::ResetSegment(QFileSize position)
{
  _segment.buffer.Free();
  _segment.start = position;
  _segment.length = 0;
  _offset = 0;
}

bool QIStream::Refill()
{
  std::uint64_t position = _segment.start + _offset;
  SegmentAt(_segment, static_cast<QFileSize>(position));
  std::uint64_t fromStart = position - _segment.start;
  if (fromStart > _segment.length)
  {
    // A segment that does not reach the position: keep the position only.
    ResetSegment(static_cast<QFileSize>(position));
    return false;
  }
  // A segment that ends right at the position (a file's last page asked for
  // at the end) stays current, so seeking back into it costs nothing.
  _offset = static_cast<QFileSize>(fromStart);
  return _offset < _segment.length;
}

int QIStream::read(void *destination, int n)
{
  char *out = static_cast<char *>(destination);
  int done = 0;
  while (done < n)
  {
    if (_offset >= _segment.length && static_cast<QFileSize>(n - done) >= DirectReadMinimum)
    {
      QFileSize position = tellg();
      QFileSize got = ReadDirect(out + done, position, static_cast<QFileSize>(n - done));
      if (got > 0)
      {
        done += static_cast<int>(got);
        ResetSegment(position + got);
        continue;
      }
    }
    if (_offset >= _segment.length && !Refill())
    {
      _eof = true;
      if (done > 0)
        _fail = true;
      break;
    }
    QFileSize available = _segment.length - _offset;
    QFileSize count = std::min(available, static_cast<QFileSize>(n - done));
    std::memcpy(out + done, _segment.buffer->Data() + _offset, count);
    _offset += count;
    done += static_cast<int>(count);
  }
  return done;
}

int QIStream::GetSlow()
{
  if (!Refill())
  {
    _eof = true;
    return -1;
  }
  return static_cast<unsigned char>(_segment.buffer->Data()[_offset++]);
}

void QIStream::seekg(QFileSize position)
{
  position = std::min(position, Size());
  std::uint64_t fromStart = position - _segment.start;
  if (fromStart <= _segment.length)
  {
    _offset = static_cast<QFileSize>(fromStart);
    return;
  }
  ResetSegment(position);
  _fail = false;
  _eof = false;
}

void QIStream::seekg(std::int64_t offset, QSeekOrigin origin)
{
  std::int64_t base = 0;
  if (origin == QSeekOrigin::Current)
    base = tellg();
  else if (origin == QSeekOrigin::End)
    base = Size();
  std::int64_t target = std::clamp<std::int64_t>(base + offset, 0, UINT32_MAX);
  seekg(static_cast<QFileSize>(target));
}

bool QIStream::getLine(char *destination, int capacity)
{
  int stored = 0;
  for (;;)
  {
    int c = get();
    if (c < 0)
    {
      if (capacity > 0)
        destination[stored] = '\0';
      return false;
    }
    if (c == '\n')
      break;
    if (c == '\r')
    {
      // A lone CR ends a line too; the byte after it is only looked at.
      int next = get();
      if (next >= 0 && next != '\n')
        --_offset;
      break;
    }
    if (stored < capacity - 1)
      destination[stored++] = static_cast<char>(c);
  }
  if (capacity > 0)
    destination[stored] = '\0';
  return true;
}

bool QIStream::skipLine()
{
  for (;;)
  {
    int c = get();
    if (c < 0)
      return false;
    if (c == '\n')
      return true;
    if (c == '\r')
    {
      int next = get();
      if (next >= 0 && next != '\n')
        --_offset;
      return true;
    }
  }
}

QFileSize QIStream::copyTo(QOStream &out)
{
  char block[4096];
  while (!_eof && !_fail)
  {
    int n = read(block, sizeof block);
    if (n <= 0)
      break;
    out.write(block, static_cast<QFileSize>(n));
  }
  return out.tellp();
}

void QIStream::CopyStateFrom(const QIStream &other)
{
  _segment = other._segment;
  _offset = other._offset;
  _fail = other._fail;
  _eof = other._eof;
}

// --- QIStrStream ------------------------------------------------------------

void QIStrStream::init(const void *data, int length)
{
  StreamSegment whole;
  whole.buffer = new QIStreamBufferTemp(data, length);
  whole.start = 0;
  whole.length = static_cast<QFileSize>(whole.buffer->Size());
  init(std::move(whole));
}

void QIStrStream::init(StreamSegment segment)
{
  if (!segment.buffer)
    segment = StreamSegment::Empty(segment.start);
  // Never trust a length beyond the buffer's bytes.
  segment.length = std::min(segment.length, static_cast<QFileSize>(segment.buffer->Size()));
  _whole = std::move(segment);
  _size = static_cast<QFileSize>(_whole.start + _whole.length);
  _segment = _whole;
  _offset = 0;
  _fail = false;
  _eof = false;
}

void QIStrStream::SegmentAt(StreamSegment &segment, QFileSize)
{
  // The one segment serves every position; one it does not cover has no data.
  segment = _whole;
}

// --- QIStreamDataSource -----------------------------------------------------

QIStreamDataSource::QIStreamDataSource(const QIStreamDataSource &other) : QIStream(), _source(other._source)
{
  CopyStateFrom(other);
}

QIStreamDataSource &QIStreamDataSource::operator=(const QIStreamDataSource &other)
{
  if (this != &other)
  {
    _source = other._source;
    CopyStateFrom(other);
  }
  return *this;
}

void QIStreamDataSource::SegmentAt(StreamSegment &segment, QFileSize position)
{
  if (_source)
    _source->SegmentAt(segment, position);
  else
    segment = StreamSegment::Empty(position);
}

bool QIStreamDataSource::Request(IPreloadRequestor *requestor, void *argument, int third, QFileSize position,
                                 QFileSize length)
{
  return _source ? _source->Request(requestor, argument, third, position, length) : true;
}

void QIStreamDataSource::ReadAhead(QFileSize length)
{
  if (_source)
    _source->ReadAhead(tellg(), length);
}

QFileSize QIStreamDataSource::ReadDirect(void *destination, QFileSize position, QFileSize length)
{
  return _source ? _source->ReadAt(destination, position, length) : 0;
}

void QIStreamDataSource::attach(IFileBuffer *buffer)
{
  ResetSegment(0);
  _source = buffer;
  _fail = false;
  _eof = false;
}

void QIStreamDataSource::close()
{
  ResetSegment(0);
  _source.Free();
}

// --- QIFStream --------------------------------------------------------------

void QIFStream::open(const char *name, QFileSize start, QFileSize length)
{
  _fail = true;
  ResetSegment(0);
  _source.Free();
  Ref<FileBufferLoading> file = new FileBufferLoading(name);
  if (file->HasError())
  {
    _source = new FileBufferError();
    return;
  }
  if (start != 0 || length < file->Size())
    _source = new FileBufferSub(file.GetRef(), start, length);
  else
    _source = file;
  _fail = false;
}

// --- QIPreprocessedStream ---------------------------------------------------

QIPreprocessedStream::QIPreprocessedStream(QIStream *source) : _source(source)
{
  if (!_source)
    return;
  // Reading goes on where the source stood, from the segment it holds.
  _held = _source->CurrentSegment();
  _nextPosition = _source->tellg();
  ResetSegment(static_cast<QFileSize>(_nextPosition));
}

QIPreprocessedStream::~QIPreprocessedStream() { delete _source; }

void QIPreprocessedStream::SegmentAt(StreamSegment &segment, QFileSize position)
{
  if (!_source || position != _nextPosition)
  {
    segment = StreamSegment::Empty(position);
    return;
  }
  if (_endedLine)
  {
    ++_line;
    _endedLine = false;
  }
  if (!_held.Covers(position))
  {
    _source->SegmentAt(_held, position);
    if (!_held.buffer || !_held.Covers(position))
    {
      segment = StreamSegment::Empty(position);
      return;
    }
  }
  QFileSize from = static_cast<QFileSize>(position - _held.start);
  const char *data = _held.buffer->Data();
  const void *lineEnd = std::memchr(data + from, '\n', _held.length - from);
  segment = _held;
  if (lineEnd)
  {
    segment.length = static_cast<QFileSize>(static_cast<const char *>(lineEnd) - data) + 1;
    _endedLine = true;
  }
  _nextPosition = segment.start + segment.length;
}

bool QIPreprocessedStream::Request(IPreloadRequestor *requestor, void *argument, int third, QFileSize position,
                                   QFileSize length)
{
  return _source ? _source->Request(requestor, argument, third, position, length) : true;
}

void QIPreprocessedStream::SetSourcePosition(const RString &file, int line)
{
  _file = file;
  _line = line;
}
