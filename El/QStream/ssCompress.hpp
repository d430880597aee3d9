#pragma once

#include "El/QStream/qOStream.hpp"
#include "El/QStream/qStream.hpp"

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
