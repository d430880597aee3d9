#pragma once

#include "El/QStream/fileBuffer.hpp"
#include "El/QStream/qStreamBuffer.hpp"
#include "Es/Strings/rString.hpp"

#include <cstdint>

class QOStream;
class QFBank;

// Where the text being read came from, for messages.
struct QSourcePosition
{
  RString file;
  int line = 1;
};

// Seek origins.
enum class QSeekOrigin
{
  Begin = 0,
  Current = 1,
  End = 2
};

// An input stream. It holds one segment at a time and asks its source for
// the segment that covers a position whenever the reader runs off the end of
// the current one, so every source (whole files, pages, memory, lines of
// text, inflated data) is read by the same code.
//
// Flags: a read that runs out of data sets the end flag, and also the fail
// flag when it delivered something before running out. Seeking outside the
// current segment clears both.
class QIStream
{
public:
  QIStream() = default;
  QIStream(const QIStream &) = delete;
  QIStream &operator=(const QIStream &) = delete;

  // The source of segments: replaces segment with the one covering position.
  virtual void SegmentAt(StreamSegment &segment, QFileSize position) = 0;
  virtual bool Request(IPreloadRequestor *requestor, void *argument, int third, QFileSize position,
                       QFileSize length) = 0;
  // A hint that length bytes from the current position will be read.
  virtual void ReadAhead(QFileSize length) { (void)length; }
  virtual QFileSize Size() const = 0;
  virtual ~QIStream() = default;
  virtual QSourcePosition SourcePosition() const { return {}; }
  virtual void SetSourcePosition(const RString &file, int line) { (void)file, (void)line; }
  // Copies up to length bytes from position straight into destination,
  // bypassing segments, for large reads; 0 when the source cannot (the reader
  // then goes through segments as usual).
  virtual QFileSize ReadDirect(void *destination, QFileSize position, QFileSize length)
  {
    return (void)destination, (void)position, (void)length, 0;
  }
  // True once the data read so far is known to be damaged or cut short (a
  // malformed packed stream, a checksum that differs, a source that ended
  // early). Streams that merely copy bytes never know: false.
  virtual bool DataError() const { return false; }

  // Copies up to n bytes; answers how many were delivered.
  int read(void *destination, int n);
  // The next byte (0..255), or -1 when the data has ended.
  int get()
  {
    if (_offset < _segment.length)
      return static_cast<unsigned char>(_segment.buffer->Data()[_offset++]);
    return GetSlow();
  }
  QFileSize tellg() const { return static_cast<QFileSize>(_segment.start + _offset); }
  // Clamped to Size(). Inside the current segment only the offset moves and
  // the flags stay; elsewhere the segment is dropped and the flags cleared.
  void seekg(QFileSize position);
  void seekg(std::int64_t offset, QSeekOrigin origin);
  // Reads a line into destination (capacity bytes, terminator included).
  // "\r\n", "\n" and a lone "\r" end a line; what does not fit is skipped.
  // False when the data ended before a line end.
  bool getLine(char *destination, int capacity);
  bool skipLine();
  bool fail() const { return _fail; }
  bool eof() const { return _eof; }
  // Copies everything from here to the end; answers the output's position.
  QFileSize copyTo(QOStream &out);

  // The segment being read (for streams that take over another's data).
  const StreamSegment &CurrentSegment() const { return _segment; }

protected:
  // Reads at least this large skip the segments once the current one is
  // used up: the bytes go from the source straight to the reader.
  static constexpr QFileSize DirectReadMinimum = 65536;

  // Drops the current segment and starts afresh at position.
  void ResetSegment(QFileSize position);
  // Replaces the current segment with the one covering the position just read.
  bool Refill();
  int GetSlow();
  // For copies of one source stream into another.
  void CopyStateFrom(const QIStream &other);

  StreamSegment _segment;
  QFileSize _offset = 0;
  bool _fail = false;
  bool _eof = false;
};

// Reads caller memory without copying it; the memory must outlive the stream.
class QIStrStream : public QIStream
{
public:
  QIStrStream() = default;
  QIStrStream(const void *data, int length) { init(data, length); }
  explicit QIStrStream(StreamSegment segment) { init(std::move(segment)); }

  void init(const void *data, int length);
  void init(StreamSegment segment);

  void SegmentAt(StreamSegment &segment, QFileSize position) override;
  bool Request(IPreloadRequestor *, void *, int, QFileSize, QFileSize) override { return true; }
  QFileSize Size() const override { return _size; }

private:
  StreamSegment _whole;
  QFileSize _size = 0;
};

// A stream over an IFileBuffer that it holds.
class QIStreamDataSource : public QIStream
{
public:
  QIStreamDataSource() = default;
  // Shares the other stream's buffer and current segment, positions and flags.
  QIStreamDataSource(const QIStreamDataSource &other);
  QIStreamDataSource &operator=(const QIStreamDataSource &other);

  void SegmentAt(StreamSegment &segment, QFileSize position) override;
  bool Request(IPreloadRequestor *requestor, void *argument, int third, QFileSize position, QFileSize length) override;
  void ReadAhead(QFileSize length) override;
  QFileSize Size() const override { return _source ? _source->Size() : 0; }
  QFileSize ReadDirect(void *destination, QFileSize position, QFileSize length) override;

  // Makes any buffer the source and starts reading it from its beginning.
  void attach(IFileBuffer *buffer);
  // Drops the current segment and releases the source.
  void close();
  IFileBuffer *GetSource() const { return _source.GetRef(); }

protected:
  Ref<IFileBuffer> _source;
};

// The whole-file length for open.
inline constexpr QFileSize QFileSizeWhole = static_cast<QFileSize>(-2);

// A stream over a file, or over a region of one.
class QIFStream : public QIStreamDataSource
{
public:
  QIFStream() = default;
  QIFStream(const QIFStream &) = default;
  QIFStream &operator=(const QIFStream &) = default;

  // Opens name for paged reading. A file that cannot be opened leaves the
  // fail flag set and a source of size 0. A region other than the whole file
  // is read through a window onto it.
  void open(const char *name, QFileSize start = 0, QFileSize length = QFileSizeWhole);
};

// A file stream that may also read a member of a data bank.
class QIFStreamB : public QIFStream
{
public:
  QIFStreamB() = default;
  ~QIFStreamB() override = default;

  // Reads (start, length) of a bank member. On success both flags are clear
  // and the bank is remembered; a missing or undecodable member leaves an
  // empty source and the fail flag set.
  bool openInBank(QFBank &bank, const char *name, QFileSize start = 0, QFileSize length = QFileSizeWhole);
  QFBank *GetBank() const { return _bank; }

private:
  QFBank *_bank = nullptr;
};

// Hands out the text of another stream (which it owns) one line per segment,
// counting lines for messages. Strictly sequential: only the position right
// after the last segment is served.
class QIPreprocessedStream : public QIStream
{
public:
  // Takes ownership of source and adopts its current segment.
  explicit QIPreprocessedStream(QIStream *source);
  ~QIPreprocessedStream() override;

  void SegmentAt(StreamSegment &segment, QFileSize position) override;
  bool Request(IPreloadRequestor *requestor, void *argument, int third, QFileSize position, QFileSize length) override;
  QFileSize Size() const override { return _source ? _source->Size() : 0; }
  QSourcePosition SourcePosition() const override { return {_file, _line}; }
  void SetSourcePosition(const RString &file, int line) override;

private:
  QIStream *_source;
  // The source's segment being cut into lines.
  StreamSegment _held;
  // Where the last handed-out segment ended, and whether with a line end.
  std::uint64_t _nextPosition = 0;
  bool _endedLine = false;
  RString _file;
  int _line = 1;
};
