#pragma once

#include "El/QStream/qOStream.hpp"
#include "El/QStream/qStream.hpp"

#include <cstdint>
#include <memory>

// The library's LZSS codec: a 4096-byte sliding window pre-filled with spaces
// (the first byte is stored at 4078), groups of eight items each led by a
// flag byte read from its lowest bit (1 a literal byte, 0 a two-byte
// reference of a 12-bit distance and a length of 3 to 18), and after the n
// unpacked bytes a 32-bit little-endian sum of those bytes. The unpacked size
// is not stored: the caller knows it. Empty input packs to nothing at all.
//
// The decoders answer false after reporting a malformed stream on the error
// channel ("LZW: stream read failed", "LZW overflow", "LZW: end of stream",
// "Checksum"); the bytes already written stay in the destination.
class SSCompress
{
public:
  // Unpacks exactly n bytes from the stream's current position.
  bool decode(char *destination, long n, QIStream &in);
  // The same over a memory block; no read goes past its end.
  bool decode(char *destination, long n, const char *source, long sourceLength);
  // Unpacks n bytes and throws them away (skips a packed block).
  bool decodeDiscard(long n, QIStream &in);
  // Packs everything from the input's current position to its end.
  void encode(QOStream &out, QIStream &in);
};

// Unpacks LZSS data of a known unpacked size from a source stream, which it
// owns, as the data is read: a member of any size needs the same memory (the
// window, one working block and one input block, all allocated here at the
// start), never memory in proportion to the size. The source is read from its
// current position and never past the checksum.
//
// Strictly sequential, like QIGzStream: every segment is the next piece of
// unpacked data, whatever position is asked for. Segments share the working
// block, so a segment's bytes hold only until the next segment or direct read
// is asked for. Reads of 64 KiB or more unpack straight into the reader's
// memory.
//
// Damaged data (a reference longer than what is still owed, packed data that
// ends early, a checksum that differs) is reported as SSCompress reports it,
// sets the fail flag and DataError(), and nothing after the fault is
// delivered; what was unpacked before it was met is. The checksum is checked
// as the last byte is produced, so a reader that has read everything knows
// the verdict. A source that reports damage of its own (a bank cut short)
// makes this stream's data damaged as well.
class QILzssStream : public QIStream
{
public:
  // A null source reads as no data; unpacked size 0 reads as empty and sound
  // without touching the source. Without the memory to start, the stream is
  // empty with its fail flag set, but DataError() is false.
  QILzssStream(QIStream *source, std::uint64_t unpackedSize);
  ~QILzssStream() override;

  void SegmentAt(StreamSegment &segment, QFileSize position) override;
  bool Request(IPreloadRequestor *, void *, int, QFileSize, QFileSize) override { return true; }
  // The unpacked size; positions are 32-bit, so it is capped at 4 GiB - 1.
  QFileSize Size() const override;
  QFileSize ReadDirect(void *destination, QFileSize position, QFileSize length) override;
  bool DataError() const override;

private:
  struct State;
  std::unique_ptr<State> _state;
  std::uint64_t _size;
};
