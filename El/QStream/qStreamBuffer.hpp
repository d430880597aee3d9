#pragma once

#include "El/QStream/refCount.hpp"

#include <cstdint>
#include <new>

// File sizes and positions inside segments are 32-bit: the files handled here
// stay below 4 GiB.
using QFileSize = std::uint32_t;

// A shared block of bytes that a stream reads from. The base class owns its
// bytes; the variants below differ only in where the bytes come from and what
// destruction does with them.
class QIStreamBuffer : public RefCount
{
public:
  QIStreamBuffer() = default;
  // Owns size fresh bytes (contents undefined); size 0 when they cannot be had.
  explicit QIStreamBuffer(int size);
  QIStreamBuffer(const QIStreamBuffer &) = delete;
  QIStreamBuffer &operator=(const QIStreamBuffer &) = delete;
  ~QIStreamBuffer() override;

  char *DataLock() { return _buffer; }
  const char *Data() const { return _buffer; }
  int Size() const { return _bufferSize; }

  // Changes the size. With keep <= 0 the content is dropped; otherwise the
  // first keep bytes move to the new block. On allocation failure the buffer
  // is left empty.
  void Resize(int newSize, int keep = 0);

protected:
  char *_buffer = nullptr;
  int _bufferSize = 0;
};

// Caller memory shown as a buffer: not copied, never freed here. The memory
// must outlive every holder of the buffer.
class QIStreamBufferTemp : public QIStreamBuffer
{
public:
  QIStreamBufferTemp(const void *data, int size);
  ~QIStreamBufferTemp() override;
};

// A second class with the same behaviour as QIStreamBufferTemp.
class QIStreamBufferTmp : public QIStreamBufferTemp
{
public:
  using QIStreamBufferTemp::QIStreamBufferTemp;
};

// One page of a file: a block of the file server's page size whose recorded
// size is the requested length (at most one page), or 0 when the page could
// not be allocated.
class QIStreamBufferPage : public QIStreamBuffer
{
public:
  explicit QIStreamBufferPage(int length);
};

// What a source hands a stream for a position: a shared buffer (never null;
// an empty buffer when there is no data), the absolute position of its first
// byte, and how many of its bytes are valid.
struct StreamSegment
{
  Ref<QIStreamBuffer> buffer;
  std::uint64_t start = 0;
  QFileSize length = 0;

  // An empty segment at position, with a buffer of its own.
  static StreamSegment Empty(std::uint64_t position);
  // Does the segment cover position (start <= position < start + length)?
  // Modular on purpose: a window's segment may start before the window, at a
  // "negative" start that has wrapped around.
  bool Covers(std::uint64_t position) const { return position - start < length; }
};

// An owned array of elements, freed with the object.
template <class Type> class Buffer
{
public:
  Buffer() = default;
  Buffer(const Buffer &) = delete;
  Buffer &operator=(const Buffer &) = delete;
  virtual ~Buffer() { Free(); }

  // Replaces the content with size elements; false (and an empty buffer)
  // when the memory cannot be had.
  bool Init(int size)
  {
    Free();
    if (size <= 0)
      return size == 0;
    _data = new (std::nothrow) Type[static_cast<unsigned>(size)];
    if (!_data)
      return false;
    _size = size;
    return true;
  }
  void Free()
  {
    delete[] _data;
    _data = nullptr;
    _size = 0;
  }

  Type *Data() { return _data; }
  const Type *Data() const { return _data; }
  int Size() const { return _size; }

private:
  Type *_data = nullptr;
  int _size = 0;
};
