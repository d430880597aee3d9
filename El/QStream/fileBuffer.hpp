#pragma once

#include "El/QStream/fileServer.hpp"
#include "El/QStream/qStreamBuffer.hpp"
#include "Es/Strings/rString.hpp"

class QIStream;

// A random-access view of numbered bytes: a file, a region of one, or memory.
// Streams read it one segment at a time. Slot order is part of the contract.
class IFileBuffer : public RefCount
{
public:
  // True when the buffer could not be set up (the file did not open).
  virtual bool HasError() const { return false; }
  // All the bytes in memory, or nullptr when the buffer is not memory-resident.
  virtual const char *Data() const = 0;
  virtual QFileSize Size() const = 0;
  // Replaces segment (the caller's previous one, released first) with the
  // segment that covers position. The default serves memory-resident data in
  // copied segments of up to 4096 bytes; at or past the end, an empty segment.
  virtual void SegmentAt(StreamSegment &segment, QFileSize position) const;
  // Asks for a region to be made available; true when it is available now.
  virtual bool Request(IPreloadRequestor *requestor, void *argument, int third, QFileSize position,
                       QFileSize length) const;
  // A hint that a region will be read sequentially.
  virtual void ReadAhead(QFileSize position, QFileSize length) const;
  // Copies up to length bytes from position; answers the number copied.
  // Memory-resident data is copied at once, anything else by walking the
  // segments.
  virtual QFileSize ReadAt(void *destination, QFileSize position, QFileSize length) const;
  virtual bool Query(int argument) const { return (void)argument, false; }
  virtual QFileHandle OsHandle() const { return 0; }
  virtual bool IsComplete() const { return true; }
};

// Caller memory, not owned: it must outlive the buffer.
class FileBufferFromMemory : public IFileBuffer
{
public:
  FileBufferFromMemory(const void *data, QFileSize size) : _data(static_cast<const char *>(data)), _size(size) {}
  const char *Data() const override { return _data; }
  QFileSize Size() const override { return _size; }

private:
  const char *_data;
  QFileSize _size;
};

// Bytes owned by the buffer, filled in by whoever created it.
class FileBufferMemory : public IFileBuffer
{
public:
  FileBufferMemory() = default;
  // size bytes; an empty buffer when they cannot be had.
  explicit FileBufferMemory(QFileSize size);
  const char *Data() const override { return _data.Data(); }
  char *DataLock() { return _data.Data(); }
  QFileSize Size() const override { return static_cast<QFileSize>(_data.Size()); }

protected:
  Buffer<char> _data;
};

// The unpacked form of LZSS-packed data read from a stream. A decode that
// fails leaves an empty buffer (size 0), not an error buffer.
class FileBufferUncompressed : public FileBufferMemory
{
public:
  FileBufferUncompressed(QFileSize unpackedSize, QIStream &packed);
};

// Stands for a file that could not be opened: no data, HasError true.
class FileBufferError : public IFileBuffer
{
public:
  bool HasError() const override { return true; }
  const char *Data() const override { return nullptr; }
  QFileSize Size() const override { return 0; }
  void SegmentAt(StreamSegment &segment, QFileSize position) const override;
};

// A region of a file read wholly into memory at construction. A short read is
// reported ("File '%s' read error %x") and leaves the buffer empty.
class FileBufferLoaded : public FileBufferMemory
{
public:
  FileBufferLoaded(const char *name, QFileSize start, QFileSize length);
};

// A window (start, length) onto another buffer, which it holds. The start is
// clamped to the base's size and the length to what the base has after it.
class FileBufferSub : public IFileBuffer
{
public:
  FileBufferSub(IFileBuffer *base, QFileSize start, QFileSize length);

  bool HasError() const override { return _base->HasError(); }
  const char *Data() const override;
  QFileSize Size() const override { return _length; }
  void SegmentAt(StreamSegment &segment, QFileSize position) const override;
  bool Request(IPreloadRequestor *requestor, void *argument, int third, QFileSize position,
               QFileSize length) const override;
  void ReadAhead(QFileSize position, QFileSize length) const override;
  QFileSize ReadAt(void *destination, QFileSize position, QFileSize length) const override;
  bool Query(int argument) const override { return _base->Query(argument); }

  QFileSize Start() const { return _start; }
  IFileBuffer *Base() const { return _base.GetRef(); }

private:
  // The part of [position, position + length) inside the window, translated
  // to the base; the length is clamped to the window's end.
  void ToBase(QFileSize &position, QFileSize &length) const;

  Ref<IFileBuffer> _base;
  QFileSize _start;
  QFileSize _length;
};

// A file opened for paged reading: every segment is one fresh page of the
// file server's page size, aligned to it. Nothing is cached here.
class FileBufferLoading : public IFileBuffer
{
public:
  explicit FileBufferLoading(const char *name);
  ~FileBufferLoading() override;

  bool HasError() const override { return !GFileServerFunctions->IsValid(_handle); }
  // Not memory-resident: reports "Cannot return data" and answers nullptr.
  const char *Data() const override;
  QFileSize Size() const override { return _size; }
  void SegmentAt(StreamSegment &segment, QFileSize position) const override;
  bool Request(IPreloadRequestor *requestor, void *argument, int third, QFileSize position,
               QFileSize length) const override;
  void ReadAhead(QFileSize position, QFileSize length) const override;
  // Reads from the file straight into destination, without pages.
  QFileSize ReadAt(void *destination, QFileSize position, QFileSize length) const override;
  QFileHandle OsHandle() const override { return _handle; }

  const RString &Name() const { return _name; }

private:
  RString _name;
  QFileHandle _handle = 0;
  QFileSize _size = 0;
};
