#include "El/QStream/qStreamBuffer.hpp"

#include "El/QStream/fileServer.hpp"

#include <cstdlib>
#include <cstring>

QIStreamBuffer::QIStreamBuffer(int size)
{
  if (size <= 0)
    return;
  _buffer = static_cast<char *>(std::malloc(static_cast<std::size_t>(size)));
  if (_buffer)
    _bufferSize = size;
}

QIStreamBuffer::~QIStreamBuffer() { std::free(_buffer); }

void QIStreamBuffer::Resize(int newSize, int keep)
{
  if (newSize < 0)
    newSize = 0;
  if (keep <= 0)
  {
    std::free(_buffer);
    _buffer = newSize > 0 ? static_cast<char *>(std::malloc(static_cast<std::size_t>(newSize))) : nullptr;
    _bufferSize = _buffer ? newSize : 0;
    return;
  }
  if (keep > newSize)
    keep = newSize;
  if (keep > _bufferSize)
    keep = _bufferSize;
  char *resized = newSize > 0 ? static_cast<char *>(std::malloc(static_cast<std::size_t>(newSize))) : nullptr;
  if (resized && keep > 0)
    std::memcpy(resized, _buffer, static_cast<std::size_t>(keep));
  std::free(_buffer);
  _buffer = resized;
  _bufferSize = resized ? newSize : 0;
}

QIStreamBufferTemp::QIStreamBufferTemp(const void *data, int size)
{
  // The caller's memory is only read through a Temp buffer; DataLock is never
  // used on one.
  _buffer = static_cast<char *>(const_cast<void *>(data));
  _bufferSize = data && size > 0 ? size : 0;
}

QIStreamBufferTemp::~QIStreamBufferTemp()
{
  // Not ours: keep the base destructor from freeing it.
  _buffer = nullptr;
  _bufferSize = 0;
}

QIStreamBufferPage::QIStreamBufferPage(int length)
{
  int pageSize = GFileServerFunctions->PageSize();
  if (length < 0)
    length = 0;
  int allocated = length > pageSize ? length : pageSize;
  _buffer = static_cast<char *>(std::malloc(static_cast<std::size_t>(allocated)));
  _bufferSize = _buffer ? length : 0;
}

StreamSegment StreamSegment::Empty(std::uint64_t position)
{
  StreamSegment segment;
  segment.buffer = new QIStreamBuffer();
  segment.start = position;
  segment.length = 0;
  return segment;
}
