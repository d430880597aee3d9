#include "El/QStream/gzStream.hpp"

#include "Es/Framework/appFrame.hpp"

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace
{
// Every segment is one fresh buffer of this size, filled as far as the data
// goes.
constexpr int SegmentSize = 16384;
// The source is read in blocks of this size.
constexpr unsigned InputBlockSize = 4096;

// Member header flags (RFC 1952).
constexpr int FlagHeaderCrc = 0x02;
constexpr int FlagExtra = 0x04;
constexpr int FlagName = 0x08;
constexpr int FlagComment = 0x10;
constexpr int FlagsReserved = 0xE0;

constexpr int MethodDeflate = 8;

// zlib copies the output of every inflate call into its window. On some CPUs
// (AMD Zen with glibc's rep-movsb memcpy) a copy whose destination lies a few
// bytes above its source modulo 4096 runs some 30 times slower than usual, and
// with 16384-byte segments that distance stays the same for the whole member,
// so a bad draw between the window and the segment buffers would slow every
// copy. The window is therefore placed half a page away from the buffer
// being filled when it is made.
constexpr std::uintptr_t PageBytes = 4096;
constexpr std::uintptr_t WindowPhase = PageBytes / 2;
constexpr std::size_t AllocationHeader = 16;

voidpf AllocateShifted(voidpf opaque, uInt items, uInt size)
{
  std::size_t bytes = static_cast<std::size_t>(items) * size;
  auto *raw = static_cast<unsigned char *>(std::malloc(bytes + PageBytes + AllocationHeader));
  if (!raw)
    return Z_NULL;
  unsigned char *base = raw + AllocationHeader;
  std::uintptr_t filling = reinterpret_cast<std::uintptr_t>(*static_cast<const void *const *>(opaque));
  std::uintptr_t shift =
      ((filling + WindowPhase - reinterpret_cast<std::uintptr_t>(base)) % PageBytes) & ~std::uintptr_t{15};
  unsigned char *block = base + shift;
  std::memcpy(block - sizeof raw, &raw, sizeof raw);
  return block;
}

void FreeShifted(voidpf, voidpf address)
{
  unsigned char *raw;
  std::memcpy(&raw, static_cast<unsigned char *>(address) - sizeof raw, sizeof raw);
  std::free(raw);
}
} // namespace

// The decoding state. All bytes taken from the source pass through the input
// block, so whatever was looked at while searching for a member header is
// still there to be delivered when it turns out not to be one.
struct QIGzStream::Inflater
{
  enum class Mode
  {
    Inflate,     // inside a member's deflate data
    PassThrough, // copying the source unchanged
    End,         // the data has ended normally
    Error        // malformed data was met
  };

  explicit Inflater(QIStream *stream) : source(stream)
  {
    z.zalloc = AllocateShifted;
    z.zfree = FreeShifted;
    z.opaque = &output;
  }
  ~Inflater()
  {
    if (zReady)
      inflateEnd(&z);
    delete source;
  }
  Inflater(const Inflater &) = delete;
  Inflater &operator=(const Inflater &) = delete;

  // Makes at least need (<= InputBlockSize) unconsumed bytes available, moving
  // the ones left to the start of the block; false when the source ends first.
  bool Fill(unsigned need);
  // The next input byte, or -1 when the source has ended.
  int NextByte()
  {
    if (avail == 0 && !Fill(1))
      return -1;
    --avail;
    return *next++;
  }
  bool Skip(unsigned count);
  bool SkipZeroTerminated();
  // Reads what follows the start or the end of a member and sets the mode.
  void ReadHeader();
  // Reads the 8-byte trailer of the member just inflated and checks its CRC.
  bool ReadTrailer();
  // Fills out with up to size bytes of output; answers how many.
  int Produce(char *out, int size);
  void Fail(const char *reason);

  QIStream *source;
  // The segment buffer being filled. zlib makes its window during the first
  // inflate call; the allocator finds this through z.opaque to place it.
  const void *output = nullptr;
  z_stream z{};
  bool zReady = false;
  bool sourceEnded = false;
  Mode mode = Mode::End;
  uLong crc = 0;
  // The unconsumed part of the input block.
  const unsigned char *next = input;
  unsigned avail = 0;
  unsigned char input[InputBlockSize];
};

bool QIGzStream::Inflater::Fill(unsigned need)
{
  if (avail >= need)
    return true;
  if (avail > 0 && next != input)
    std::memmove(input, next, avail);
  next = input;
  while (avail < need && !sourceEnded)
  {
    int got = source ? source->read(input + avail, static_cast<int>(InputBlockSize - avail)) : 0;
    if (got <= 0)
      sourceEnded = true;
    else
      avail += static_cast<unsigned>(got);
  }
  return avail >= need;
}

bool QIGzStream::Inflater::Skip(unsigned count)
{
  // Field lengths come from the data: skip through the input block, never
  // through memory sized after them.
  while (count > 0)
  {
    if (avail == 0 && !Fill(1))
      return false;
    unsigned step = count < avail ? count : avail;
    next += step;
    avail -= step;
    count -= step;
  }
  return true;
}

bool QIGzStream::Inflater::SkipZeroTerminated()
{
  for (;;)
  {
    if (avail == 0 && !Fill(1))
      return false;
    const void *zero = std::memchr(next, 0, avail);
    if (zero)
    {
      unsigned step = static_cast<unsigned>(static_cast<const unsigned char *>(zero) - next) + 1;
      next += step;
      avail -= step;
      return true;
    }
    next += avail;
    avail = 0;
  }
}

void QIGzStream::Inflater::Fail(const char *reason)
{
  if (mode != Mode::Error)
    WarningF("Gzip stream: %s", reason);
  mode = Mode::Error;
}

void QIGzStream::Inflater::ReadHeader()
{
  // The magic is only looked at, not consumed: without it the bytes are data.
  if (!Fill(2))
  {
    mode = avail > 0 ? Mode::PassThrough : Mode::End;
    return;
  }
  if (next[0] != 0x1F || next[1] != 0x8B)
  {
    mode = Mode::PassThrough;
    return;
  }
  next += 2;
  avail -= 2;

  int method = NextByte();
  int flags = NextByte();
  if (flags < 0)
    return Fail("header cut short");
  if (method != MethodDeflate)
    return Fail("unknown compression method");
  if (flags & FlagsReserved)
    return Fail("reserved header flag set");
  // Modification time, extra flags, operating system.
  if (!Skip(6))
    return Fail("header cut short");
  if (flags & FlagExtra)
  {
    int low = NextByte();
    int high = NextByte();
    if (high < 0 || !Skip(static_cast<unsigned>(low | high << 8)))
      return Fail("extra header field cut short");
  }
  if ((flags & FlagName) && !SkipZeroTerminated())
    return Fail("file name cut short");
  if ((flags & FlagComment) && !SkipZeroTerminated())
    return Fail("comment cut short");
  if ((flags & FlagHeaderCrc) && !Skip(2))
    return Fail("header cut short");

  if (!zReady)
  {
    // Raw deflate: the gzip wrapper is read here, not by zlib.
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
      return Fail("cannot start inflating");
    zReady = true;
  }
  else if (inflateReset(&z) != Z_OK)
    return Fail("cannot restart inflating");
  crc = crc32(0, nullptr, 0);
  mode = Mode::Inflate;
}

bool QIGzStream::Inflater::ReadTrailer()
{
  if (!Fill(8))
  {
    Fail("trailer cut short");
    return false;
  }
  uLong stored = static_cast<uLong>(next[0]) | static_cast<uLong>(next[1]) << 8 | static_cast<uLong>(next[2]) << 16 |
                 static_cast<uLong>(next[3]) << 24;
  // The length field (next[4..7]) adds nothing the CRC does not check.
  next += 8;
  avail -= 8;
  if (stored != crc)
  {
    Fail("CRC mismatch");
    return false;
  }
  return true;
}

int QIGzStream::Inflater::Produce(char *out, int size)
{
  int produced = 0;
  while (produced < size)
  {
    if (mode == Mode::PassThrough)
    {
      if (avail > 0)
      {
        unsigned room = static_cast<unsigned>(size - produced);
        unsigned step = avail < room ? avail : room;
        std::memcpy(out + produced, next, step);
        next += step;
        avail -= step;
        produced += static_cast<int>(step);
        continue;
      }
      int got = sourceEnded || !source ? 0 : source->read(out + produced, size - produced);
      if (got <= 0)
      {
        sourceEnded = true;
        mode = Mode::End;
        break;
      }
      produced += got;
      continue;
    }
    if (mode != Mode::Inflate)
      break;

    if (avail == 0)
      Fill(1);
    unsigned room = static_cast<unsigned>(size - produced);
    unsigned char *target = reinterpret_cast<unsigned char *>(out + produced);
    z.next_in = const_cast<unsigned char *>(next);
    z.avail_in = avail;
    z.next_out = target;
    z.avail_out = room;
    int result = inflate(&z, Z_NO_FLUSH);
    unsigned made = room - z.avail_out;
    bool consumed = z.avail_in != avail;
    next = z.next_in;
    avail = z.avail_in;
    if (made > 0)
    {
      crc = crc32(crc, target, made);
      produced += static_cast<int>(made);
    }

    if (result == Z_STREAM_END)
    {
      if (ReadTrailer())
        ReadHeader();
      continue;
    }
    if (result == Z_OK && (made > 0 || consumed))
      continue;
    // Z_BUF_ERROR (no progress possible) with the input block refilled just
    // before means the source has ended inside the deflate data.
    if (result == Z_OK || result == Z_BUF_ERROR)
      Fail(avail == 0 && sourceEnded ? "deflate data cut short" : "inflating made no progress");
    else
      Fail(result == Z_MEM_ERROR ? "out of memory while inflating" : "damaged deflate data");
  }
  return produced;
}

// Every failure also sets the fail flag, so a reader that only looks at the
// stream's flags learns that what it got cannot be trusted; DataError() tells a
// malformed input from a lack of memory.
QIGzStream::QIGzStream(QIStream *source) : _inflater(new (std::nothrow) Inflater(source))
{
  if (!_inflater)
  {
    delete source;
    _fail = true;
    return;
  }
  if (source)
    _inflater->ReadHeader();
  _fail = _inflater->mode == Inflater::Mode::Error;
}

QIGzStream::~QIGzStream() = default;

void QIGzStream::SegmentAt(StreamSegment &segment, QFileSize position)
{
  // The previous buffer goes before the next is made, so the allocator can
  // hand the same memory back.
  segment = StreamSegment();
  Inflater *state = _inflater.get();
  if (!state || (state->mode != Inflater::Mode::Inflate && state->mode != Inflater::Mode::PassThrough))
  {
    segment = StreamSegment::Empty(position);
    return;
  }
  Ref<QIStreamBuffer> buffer = new (std::nothrow) QIStreamBuffer(SegmentSize);
  if (!buffer || buffer->Size() < SegmentSize)
  {
    // Not a data error, but the reader must not take this for the end.
    _fail = true;
    segment = StreamSegment::Empty(position);
    return;
  }
  state->output = buffer->Data();
  int produced = state->Produce(buffer->DataLock(), SegmentSize);
  // Whatever this call produced before meeting malformed data (a bad trailer
  // CRC included, or damage the source found in its own data) is still
  // delivered; the fail flag, set here and kept by the reads that follow,
  // tells the reader that it cannot be trusted.
  if (state->mode == Inflater::Mode::Error || (state->source && state->source->DataError()))
    _fail = true;
  segment.buffer = std::move(buffer);
  segment.start = position;
  segment.length = static_cast<QFileSize>(produced > 0 ? produced : 0);
}

bool QIGzStream::DataError() const
{
  return _inflater &&
         (_inflater->mode == Inflater::Mode::Error || (_inflater->source && _inflater->source->DataError()));
}
