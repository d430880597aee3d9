#pragma once

#include "El/QStream/fileServer.hpp"
#include "El/QStream/lsError.hpp"
#include "El/QStream/qStreamBuffer.hpp"

#include <cstdint>
#include <cstring>

// An output stream: bytes gather in a buffer of 65536 bytes (to start with)
// and go to their destination when Flush is called.
class QOStream
{
public:
  QOStream(const QOStream &) = delete;
  QOStream &operator=(const QOStream &) = delete;

  virtual int Close() { return 0; }
  virtual bool Failed() const { return false; }
  // Hands the buffered bytes on; capacity is the size the buffer is asked to
  // have afterwards (a hint some streams ignore).
  virtual void Flush(int capacity) = 0;
  virtual void SeekP(QFileSize position) = 0;

  // Both take the bytes in place when the buffer has room for them; the
  // out-of-line paths flush or grow it first.
  void put(char c)
  {
    if (_bufferOffset < _buffer->Size())
    {
      _buffer->DataLock()[_bufferOffset++] = c;
      Written();
    }
    else
      PutSlow(c);
  }
  // Answers the position after the write.
  QFileSize write(const void *data, QFileSize n)
  {
    if (data && n > 0 && static_cast<std::int64_t>(_bufferOffset) + n <= _buffer->Size())
    {
      std::memcpy(_buffer->DataLock() + _bufferOffset, data, n);
      _bufferOffset += static_cast<int>(n);
      Written();
      return tellp();
    }
    return WriteSlow(data, n);
  }
  QFileSize tellp() const { return _bufferStart + _bufferOffset; }

protected:
  QOStream();
  virtual ~QOStream() = default;

  // Resets all positions (the buffer keeps its capacity).
  void ResetPositions();
  void PutSlow(char c);
  QFileSize WriteSlow(const void *data, QFileSize n);
  // After bytes went into the buffer up to the write offset.
  void Written()
  {
    if (_bufferSize < _bufferOffset)
      _bufferSize = _bufferOffset;
    if (_fileSize < tellp())
      _fileSize = tellp();
  }

  static constexpr int InitialBufferSize = 65536;

  Ref<QIStreamBuffer> _buffer;
  // Write position inside the buffer.
  int _bufferOffset = 0;
  // Valid bytes in the buffer.
  int _bufferSize = 0;
  // File position of the buffer's first byte.
  QFileSize _bufferStart = 0;
  // Largest end position written so far.
  QFileSize _fileSize = 0;
};

// Buffered output to a file. Errors are sticky: after the first failing
// write, seek or close nothing more is written and Failed() stays true.
class QOFStream : public QOStream
{
public:
  QOFStream() = default;
  explicit QOFStream(const char *name) { open(name); }
  ~QOFStream() override { Close(); }

  // Creates or truncates name ("/" in it become "\"). On failure the fail
  // flag is set and error() tells why.
  void open(const char *name);
  // Opens or creates name for writing at its end.
  void openForAppend(const char *name);

  // Flushes and closes. 0 without an open file; otherwise the error code.
  int Close() override;
  bool Failed() const override { return _fail; }
  void Flush(int capacity) override;
  void SeekP(QFileSize position) override;

  LSError error() const { return _error; }
  bool IsOpen() const { return _file != 0; }

private:
  void OpenWith(const char *name, bool append);
  // Records the first failure with the system's last error.
  void SetFailed();

  QFileHandle _file = 0;
  bool _fail = false;
  LSError _error = LSOK;
};

// Output to memory, the buffer doubling as it fills.
class QOStrStream : public QOStream
{
public:
  QOStrStream() = default;

  void Flush(int capacity) override;
  // Positions up to the largest end written so far.
  void SeekP(QFileSize position) override;

  const char *str() const { return _buffer->Data(); }
  // Bytes written (the largest end position).
  QFileSize pcount() const { return _fileSize; }
  int Capacity() const { return _buffer->Size(); }
  void rewind() { ResetPositions(); }
};
