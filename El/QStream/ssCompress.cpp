#include "El/QStream/ssCompress.hpp"

#include "Es/Framework/appFrame.hpp"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace
{
constexpr int WindowSize = 4096;
constexpr int WindowMask = WindowSize - 1;
constexpr int LongestMatch = 18;
constexpr int ShortestMatch = 3;
// Where the first byte goes; everything before it starts out as spaces.
constexpr int StartPosition = WindowSize - LongestMatch;
constexpr unsigned char WindowFill = 0x20;

// A group: one flag byte and up to eight items of at most two bytes, which
// unpack to at most eight longest matches.
constexpr std::ptrdiff_t GroupInputMax = 1 + 8 * 2;
constexpr std::int64_t GroupOutputMax = 8 * LongestMatch;
// The unchecked copies of a group write at most this far past its start: the
// eighth item starts at most 7 * 18 bytes in and writes up to 24 bytes.
constexpr std::ptrdiff_t GroupReach = 7 * LongestMatch + 24;

constexpr int ChecksumSize = 4;

// A flag register whose bit 8 has been shifted out needs a new flag byte.
constexpr unsigned FlagsLoaded = 0x100;
constexpr unsigned FlagsFill = 0xFF00;

const char ReportSource[] = "El/QStream/ssCompress";

void Fail(int line, const char *message) { ReportCheckFailure(ReportSource, line, message); }

std::uint32_t ReadLittleEndian32(const unsigned char *bytes)
{
  return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
         std::uint32_t(bytes[3]) << 24;
}

std::uint32_t SumBytes(const unsigned char *bytes, std::size_t count)
{
  std::uint32_t sum = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  __m128i total = zero;
  for (; i + 16 <= count; i += 16)
  {
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + i));
    total = _mm_add_epi64(total, _mm_sad_epu8(block, zero));
  }
  // The sum is kept modulo 2^32: the low halves of the two lane totals do.
  sum = static_cast<std::uint32_t>(_mm_cvtsi128_si32(total)) +
        static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(total, 8)));
#endif
  for (; i < count; ++i)
    sum += bytes[i];
  return sum;
}

void Copy8(unsigned char *to, const unsigned char *from)
{
  std::uint64_t word;
  std::memcpy(&word, from, sizeof word);
  std::memcpy(to, &word, sizeof word);
}

void Copy16(unsigned char *to, const unsigned char *from)
{
  unsigned char block[16];
  std::memcpy(block, from, sizeof block);
  std::memcpy(to, block, sizeof block);
}

void Copy2(unsigned char *to, const unsigned char *from)
{
  std::uint16_t pair;
  std::memcpy(&pair, from, sizeof pair);
  std::memcpy(to, &pair, sizeof pair);
}

// What a reference reaching back before the first unpacked byte reads: the
// window the decoder started with. `at` counts back from the first byte
// (-1 is the byte just before it). Positions 0..4077 hold spaces; the 18
// positions from 4078 on are never filled before they are written, and read
// as zero here.
unsigned char Prefill(std::ptrdiff_t at) { return at >= -StartPosition ? WindowFill : 0; }

enum class Outcome
{
  Done,      // all n bytes unpacked
  Paused,    // the output chunk is full
  NeedInput, // the next item is not wholly in the input
  Overflow   // a reference longer than what is still owed
};

// Unpacks items into a linear buffer instead of the 4096-byte ring: the
// window position r is where the next output byte goes, so a reference of
// distance d copies from d bytes back in the buffer (d = 0 meaning 4096).
//
// The buffer is either the caller's destination of n bytes, or a small
// window whose last 4096 bytes move to its front whenever it fills (for
// unpacking that throws the bytes away, or hands them out a block at a
// time). In both, while fewer than 4096 bytes precede the current one, the
// buffer's start is the first unpacked byte and anything before it comes
// from the prefilled window.
//
// The count of bytes still owed is 64-bit: a stream may unpack more than a
// 32-bit long holds.
class Unpacker
{
public:
  // Straight into destination[0..n).
  Unpacker(unsigned char *destination, std::int64_t n)
      : _base(destination), _output(destination), _limit(destination + n), _counted(destination), _left(n)
  {
  }

  // Through a window of size bytes that slides.
  Unpacker(unsigned char *window, std::ptrdiff_t size, std::int64_t n)
      : _base(window), _output(window), _limit(window + size), _counted(window), _left(n), _sliding(true)
  {
  }

  std::int64_t Left() const { return _left; }
  std::uint32_t Sum() const { return _sum; }
  unsigned char *Output() const { return _output; }

  // Unpacks from [input, end) until done, short of input, or an overflow.
  Outcome Run(const unsigned char *&input, const unsigned char *end)
  {
    for (;;)
    {
      Outcome outcome = RunTo(input, end, _sliding ? _limit - GroupReach : _limit);
      if (outcome != Outcome::Paused || !_sliding)
        return outcome;
      Slide();
    }
  }

  // Unpacks until the output reaches stop (Paused; a whole group may carry
  // it up to 8 * 18 - 1 bytes further, never past the limit), done, short of
  // input, or an overflow. Single items are only checked against what is
  // owed, so unless everything owed fits before the limit, stop must leave
  // room for one longest match: stop <= limit - 17.
  Outcome RunTo(const unsigned char *&input, const unsigned char *end, unsigned char *stop)
  {
    for (;;)
    {
      unsigned char *pause = stop - _output > ChunkSize + GroupReach ? _output + ChunkSize : stop;
      Outcome outcome = RunChunk(input, end, pause);
      // The chunk is summed while it is still in the cache.
      _sum += SumBytes(_counted, static_cast<std::size_t>(_output - _counted));
      _counted = _output;
      if (outcome != Outcome::Paused || _output >= stop)
        return outcome;
    }
  }

  // Moves the last 4096 bytes of output to the buffer's front; at least that
  // many must follow the buffer's start.
  void Slide()
  {
    std::memmove(_base, _output - WindowSize, WindowSize);
    _output = _counted = _base + WindowSize;
  }

  // Goes on unpacking into [output, limit) of another buffer. The bytes from
  // base up to output are the latest output; before counts the bytes output
  // ahead of base, of which the last min(before, 4096) end at history.
  void Redirect(unsigned char *base, unsigned char *output, unsigned char *limit, std::int64_t before,
                const unsigned char *history)
  {
    _base = base;
    _output = _counted = output;
    _limit = limit;
    _before = before;
    _history = history;
  }

private:
  // Unpacked bytes are summed (and the window slides) after this many.
  static constexpr std::ptrdiff_t ChunkSize = 32768;

  Outcome RunChunk(const unsigned char *&input, const unsigned char *end, unsigned char *pause);
  void CopyChecked(unsigned char *to, std::size_t distance, unsigned length) const;
  // The byte at `from` (negative) relative to the buffer's start.
  unsigned char Earlier(std::ptrdiff_t from) const
  {
    return _before + from >= 0 ? _history[from] : Prefill(static_cast<std::ptrdiff_t>(_before + from));
  }

  unsigned char *_base;
  unsigned char *_output;
  unsigned char *_limit;
  unsigned char *_counted;
  std::int64_t _left;
  std::uint32_t _sum = 0;
  // Output ahead of the buffer's start, and where the last of it ends.
  std::int64_t _before = 0;
  const unsigned char *_history = nullptr;
  // The classic flag register: the current flag byte in the low bits, ones
  // above it marking how many of its bits are left.
  unsigned _flags = 0;
  bool _sliding = false;
};

// A reference copied byte by byte, exactly length bytes, reaching before the
// buffer where needed: into earlier output or the prefilled window.
void Unpacker::CopyChecked(unsigned char *to, std::size_t distance, unsigned length) const
{
  std::ptrdiff_t from = (to - _base) - static_cast<std::ptrdiff_t>(distance);
  for (unsigned k = 0; k < length; ++k, ++from)
    to[k] = from >= 0 ? _base[from] : Earlier(from);
}

Outcome Unpacker::RunChunk(const unsigned char *&input, const unsigned char *end, unsigned char *pause)
{
  const unsigned char *in = input;
  unsigned char *out = _output;
  std::int64_t left = _left;
  Outcome outcome;
  for (;;)
  {
    if (left == 0)
    {
      outcome = Outcome::Done;
      break;
    }
    if (out >= pause)
    {
      outcome = Outcome::Paused;
      break;
    }
    unsigned flags = _flags >> 1;
    if (!(flags & FlagsLoaded) && end - in >= GroupInputMax && left >= GroupOutputMax && _limit - out >= GroupReach)
    {
      // A whole group with room for anything it may hold: no checks. The
      // copies may write a few bytes past a reference's end; those bytes are
      // overwritten by the items that follow.
      unsigned char *groupStart = out;
      unsigned bits = *in++;
      if (bits == 0xFF)
      {
        Copy8(out, in);
        out += 8;
        in += 8;
      }
      else
      {
        for (int item = 0; item < 8; ++item, bits >>= 1)
        {
          if (bits & 1)
          {
            *out++ = *in++;
            continue;
          }
          unsigned low = in[0];
          unsigned high = in[1];
          in += 2;
          std::size_t distance = (((low | (high & 0xF0) << 4) - 1) & WindowMask) + 1;
          unsigned length = (high & 0x0F) + ShortestMatch;
          const unsigned char *from = out - distance;
          if (distance > static_cast<std::size_t>(out - _base))
            CopyChecked(out, distance, length);
          else if (distance >= 16)
          {
            Copy16(out, from);
            Copy2(out + 16, from + 16);
          }
          else if (distance >= 8)
          {
            Copy8(out, from);
            Copy8(out + 8, from + 8);
            Copy8(out + 16, from + 16);
          }
          else
          {
            for (unsigned k = 0; k < length; ++k)
              out[k] = from[k];
          }
          out += length;
        }
      }
      left -= out - groupStart;
      _flags = 0;
      continue;
    }

    // One item, every byte it needs checked first.
    std::ptrdiff_t flagBytes = 0;
    if (!(flags & FlagsLoaded))
    {
      if (in == end)
      {
        outcome = Outcome::NeedInput;
        break;
      }
      flags = in[0] | FlagsFill;
      flagBytes = 1;
    }
    if (flags & 1)
    {
      if (end - in < flagBytes + 1)
      {
        outcome = Outcome::NeedInput;
        break;
      }
      in += flagBytes;
      _flags = flags;
      *out++ = *in++;
      --left;
      continue;
    }
    if (end - in < flagBytes + 2)
    {
      outcome = Outcome::NeedInput;
      break;
    }
    in += flagBytes;
    _flags = flags;
    unsigned low = in[0];
    unsigned high = in[1];
    in += 2;
    unsigned length = (high & 0x0F) + ShortestMatch;
    if (left < static_cast<std::int64_t>(length))
    {
      outcome = Outcome::Overflow;
      break;
    }
    CopyChecked(out, (((low | (high & 0xF0) << 4) - 1) & WindowMask) + 1, length);
    out += length;
    left -= static_cast<std::int64_t>(length);
  }
  input = in;
  _output = out;
  _left = left;
  return outcome;
}

// Packed bytes taken from a stream (null: no data) in blocks, never more
// than the packed data certainly still holds: whatever follows the checksum
// stays in the stream. The block is the caller's.
class PackedInput
{
public:
  PackedInput(QIStream *stream, unsigned char *block, std::ptrdiff_t size)
      : next(block), end(block), _stream(stream), _block(block), _size(size)
  {
  }

  const unsigned char *next;
  const unsigned char *end;

  std::ptrdiff_t Buffered() const { return end - next; }

  // Keeps the unread bytes and adds what a stream still owing left unpacked
  // bytes is sure to hold; answers the number of bytes added. Each item
  // unpacks to at most 18 bytes from 2 (a literal: 1 from 1), so the next
  // left bytes take at least left / 9 packed bytes, and the checksum follows.
  int Refill(std::int64_t left)
  {
    std::ptrdiff_t kept = Buffered();
    if (next != _block)
      std::memmove(_block, next, static_cast<std::size_t>(kept));
    next = _block;
    end = _block + kept;
    std::int64_t certain = left / 9 + ChecksumSize;
    std::int64_t wanted = std::min<std::int64_t>(certain - kept, _size - kept);
    if (wanted <= 0 || !_stream)
      return 0;
    int got = _stream->read(_block + kept, static_cast<int>(wanted));
    end += got;
    return got;
  }

private:
  QIStream *_stream;
  unsigned char *_block;
  std::ptrdiff_t _size;
};

bool CheckSum(const unsigned char *bytes, std::uint32_t sum)
{
  if (ReadLittleEndian32(bytes) != sum)
  {
    Fail(__LINE__, "Checksum");
    return false;
  }
  return true;
}

// Unpacks from packed input until the output reaches stop (null: to the
// end, the window sliding as needed) or everything is unpacked, and then
// checks the checksum. False, with the fault reported, when the data is
// damaged. Must not be called again once nothing is owed.
bool Pump(Unpacker &unpacker, PackedInput &input, unsigned char *stop)
{
  while (unpacker.Left() > 0)
  {
    if (input.Buffered() < GroupInputMax)
      input.Refill(unpacker.Left());
    Outcome outcome = stop ? unpacker.RunTo(input.next, input.end, stop) : unpacker.Run(input.next, input.end);
    if (outcome == Outcome::Overflow)
    {
      Fail(__LINE__, "LZW overflow");
      return false;
    }
    if (outcome == Outcome::NeedInput && input.Refill(unpacker.Left()) == 0)
    {
      Fail(__LINE__, "LZW: stream read failed");
      return false;
    }
    if (outcome == Outcome::Paused)
      return true;
  }
  input.Refill(0);
  if (input.Buffered() < ChecksumSize)
  {
    Fail(__LINE__, "LZW: end of stream");
    return false;
  }
  return CheckSum(input.next, unpacker.Sum());
}

// The block the one-shot decoders read a stream through, on the stack.
constexpr std::ptrdiff_t StackInputSize = 16384;

bool UnpackStream(Unpacker &unpacker, QIStream &stream)
{
  unsigned char block[StackInputSize];
  PackedInput input(&stream, block, StackInputSize);
  return Pump(unpacker, input, nullptr);
}

// The binary-tree match finder over the window: one tree per first byte,
// holding the strings that start at the last 4096 - 18 window positions,
// ordered by their 18 bytes. Inserting a string finds the longest earlier
// match on the way down (the first one met among equally long ones), and a
// string equal to the new one over all 18 bytes is replaced by it. The
// packed bytes depend on the exact shape of these trees, so the shape is
// kept as the classic insertion and deletion make it.
//
// Rising or falling data (gradients, tables of addresses) makes each new
// string the largest or smallest of its tree, and the classic descent walks
// the whole spine of earlier extremes. Each tree therefore also knows its
// largest and smallest string: a string beyond one of them goes straight
// below it, and since the common prefix with the spine's strings only grows
// towards the extreme, the first string on the spine with the longest match
// is found by climbing up from the extreme instead.
class Packer
{
public:
  void Encode(QOStream &out, QIStream &in);

private:
  static constexpr int Nil = WindowSize;
  static constexpr int Larger = 0;
  static constexpr int Smaller = 1;
  static constexpr int NoSide = 2;
  // Descents at least this deep to a new extreme make the next string of the
  // tree try the shortcut first.
  static constexpr int LongSpine = 8;
  // Nodes 0..4095 are window positions; 4097 + c is the root of the tree of
  // strings starting with byte c.
  static constexpr int NodeCount = WindowSize + 1 + 256;
  static constexpr int InputBlockSize = 65536;
  static constexpr int OutputBlockSize = 16384;

  void InsertNode(int r);
  void DeleteNode(int p);
  // The length (1..18) over which the strings at a and b agree, given that
  // their first bytes are equal, and on which side of b a lies (Larger when
  // they are equal).
  [[gnu::always_inline]] static inline int MatchLength(const unsigned char *a, const unsigned char *b, int &side);
  bool InsertBeyondExtreme(int r, int side);
  void Attach(int r, int p, int side, int length, int position, bool longSpine);
  void Replace(int p, int r, int length);

  // Fills the input block; false at the end of the input.
  bool FillInput();
  int NextByte()
  {
    if (_next == _end && !FillInput())
      return -1;
    return *_next++;
  }
  void PutGroup(const unsigned char *group, int size);
  void FlushOutput();

  // The window, its first 17 bytes repeated past its end so that comparing
  // 18 bytes never wraps; one more byte for the string of the Nil node.
  unsigned char _text[WindowSize + LongestMatch];
  // Per node its larger and smaller side.
  std::uint16_t _child[NodeCount][2];
  std::uint16_t _parent[NodeCount];
  // Per tree its largest and smallest string (Nil when it is empty), and the
  // side on which its last new string became an extreme after a long descent
  // (NoSide otherwise).
  std::uint16_t _extreme[256][2];
  unsigned char _lastSide[256];
  int _matchPosition = 0;
  int _matchLength = 0;

  QIStream *_in = nullptr;
  QOStream *_out = nullptr;
  std::uint32_t _sum = 0;
  const unsigned char *_next = _input;
  const unsigned char *_end = _input;
  bool _inputEnded = false;
  int _outputUsed = 0;
  unsigned char _input[InputBlockSize];
  unsigned char _output[OutputBlockSize];
};

bool Packer::FillInput()
{
  if (_inputEnded)
    return false;
  int got = _in->read(_input, InputBlockSize);
  if (got <= 0)
  {
    _inputEnded = true;
    return false;
  }
  _sum += SumBytes(_input, static_cast<std::size_t>(got));
  _next = _input;
  _end = _input + got;
  return true;
}

void Packer::PutGroup(const unsigned char *group, int size)
{
  if (_outputUsed + size > OutputBlockSize)
    FlushOutput();
  std::memcpy(_output + _outputUsed, group, static_cast<std::size_t>(size));
  _outputUsed += size;
}

void Packer::FlushOutput()
{
  if (_outputUsed > 0)
    _out->write(_output, static_cast<QFileSize>(_outputUsed));
  _outputUsed = 0;
}

inline int Packer::MatchLength(const unsigned char *a, const unsigned char *b, int &side)
{
#if defined(__SSE2__)
  // Bytes 1..16 at once. The lowest bit of the difference mask is the first
  // difference, and the same bit of "a >= b" says which side.
  __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + 1));
  __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + 1));
  unsigned differ = ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, y))) & 0xFFFFu;
  unsigned atLeast = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(x, y), x)));
  if (differ != 0)
  {
    side = (atLeast & differ & (0u - differ)) != 0 ? Larger : Smaller;
    return std::countr_zero(differ) + 1;
  }
  int i = 17;
#else
  int i = 1;
#endif
  for (; i < LongestMatch; ++i)
  {
    if (a[i] != b[i])
    {
      side = a[i] > b[i] ? Larger : Smaller;
      return i;
    }
  }
  side = Larger;
  return LongestMatch;
}

bool Packer::InsertBeyondExtreme(int r, int side)
{
  const unsigned char *key = &_text[r];
  int extreme = _extreme[key[0]][side];
  int keySide;
  int length = MatchLength(key, &_text[extreme], keySide);
  if (keySide != side || length >= LongestMatch)
    return false;
  _child[extreme][side] = static_cast<std::uint16_t>(r);
  _parent[r] = static_cast<std::uint16_t>(extreme);
  _extreme[key[0]][side] = static_cast<std::uint16_t>(r);
  // The spine down to the extreme is the path the descent would take. Where
  // no reference can come of the match its position does not matter.
  int position = extreme;
  if (length >= ShortestMatch)
  {
    for (int q = _parent[position]; q < WindowSize && MatchLength(key, &_text[q], keySide) == length; q = _parent[q])
      position = q;
  }
  _matchLength = length;
  _matchPosition = position;
  return true;
}

void Packer::InsertNode(int r)
{
  const unsigned char *key = &_text[r];
  int tree = key[0];
  int root = WindowSize + 1 + tree;
  _child[r][Larger] = _child[r][Smaller] = Nil;
  int p = _child[root][Larger];
  if (p == Nil)
  {
    _child[root][Larger] = static_cast<std::uint16_t>(r);
    _parent[r] = static_cast<std::uint16_t>(root);
    _extreme[tree][Larger] = _extreme[tree][Smaller] = static_cast<std::uint16_t>(r);
    _matchLength = 0;
    return;
  }
  if (_lastSide[tree] != NoSide && InsertBeyondExtreme(r, _lastSide[tree]))
    return;

  int bestLength = 0;
  int bestPosition = 0;
  int depth = 0;
  // Two levels per round: the node and both its children are compared at
  // once, so the wait for one comparison before the next can start is paid
  // every other level only. A missing child is the Nil node, whose string
  // and children are harmless to look at.
  for (;;)
  {
    std::uint32_t children;
    std::memcpy(&children, _child[p], sizeof children);
    int larger = static_cast<int>(children & 0xFFFFu);
    int smaller = static_cast<int>(children >> 16);
    std::uint32_t largerChildren;
    std::uint32_t smallerChildren;
    std::memcpy(&largerChildren, _child[larger], sizeof largerChildren);
    std::memcpy(&smallerChildren, _child[smaller], sizeof smallerChildren);
    int side;
    int largerSide;
    int smallerSide;
    int length = MatchLength(key, &_text[p], side);
    int largerLength = MatchLength(key, &_text[larger], largerSide);
    int smallerLength = MatchLength(key, &_text[smaller], smallerSide);

    if (length >= LongestMatch)
      return Replace(p, r, length);
    bool longer = length > bestLength;
    bestPosition = longer ? p : bestPosition;
    bestLength = longer ? length : bestLength;
    ++depth;
    int next = side == Larger ? larger : smaller;
    if (next == Nil)
      return Attach(r, p, side, bestLength, bestPosition, depth >= LongSpine);

    length = side == Larger ? largerLength : smallerLength;
    std::uint32_t nextChildren = side == Larger ? largerChildren : smallerChildren;
    side = side == Larger ? largerSide : smallerSide;
    if (length >= LongestMatch)
      return Replace(next, r, length);
    longer = length > bestLength;
    bestPosition = longer ? next : bestPosition;
    bestLength = longer ? length : bestLength;
    ++depth;
    p = side == Larger ? static_cast<int>(nextChildren & 0xFFFFu) : static_cast<int>(nextChildren >> 16);
    if (p == Nil)
      return Attach(r, next, side, bestLength, bestPosition, depth >= LongSpine);
  }
}

// The new string r goes below p on the given side. If every step of the
// descent went to that side, it is the tree's new extreme there.
void Packer::Attach(int r, int p, int side, int length, int position, bool longSpine)
{
  _child[p][side] = static_cast<std::uint16_t>(r);
  _parent[r] = static_cast<std::uint16_t>(p);
  _matchLength = length;
  _matchPosition = position;
  int tree = _text[r];
  _lastSide[tree] = NoSide;
  if (_extreme[tree][side] == p)
  {
    _extreme[tree][side] = static_cast<std::uint16_t>(r);
    // After a long spine the next string is likely to be beyond the
    // extreme too; a short one is cheap to walk anyway.
    if (longSpine)
      _lastSide[tree] = static_cast<unsigned char>(side);
  }
}

// The new string r takes the place of the equal old one p.
void Packer::Replace(int p, int r, int length)
{
  _matchLength = length;
  _matchPosition = p;
  int parent = _parent[p];
  _parent[r] = static_cast<std::uint16_t>(parent);
  _child[r][Smaller] = _child[p][Smaller];
  _child[r][Larger] = _child[p][Larger];
  _parent[_child[p][Smaller]] = static_cast<std::uint16_t>(r);
  _parent[_child[p][Larger]] = static_cast<std::uint16_t>(r);
  _child[parent][_child[parent][Larger] == p ? Larger : Smaller] = static_cast<std::uint16_t>(r);
  _parent[p] = Nil;
  for (std::uint16_t &extreme : _extreme[_text[r]])
  {
    if (extreme == p)
      extreme = static_cast<std::uint16_t>(r);
  }
}

void Packer::DeleteNode(int p)
{
  int parent = _parent[p];
  if (parent == Nil)
    return;
  // An extreme has nothing beyond it on its own side; the next one in is the
  // nearest string on the other side below it, or else its parent.
  std::uint16_t(&extremes)[2] = _extreme[_text[p]];
  for (int side = Larger; side <= Smaller; ++side)
  {
    if (extremes[side] != p)
      continue;
    int next = _child[p][1 - side];
    if (next != Nil)
    {
      while (_child[next][side] != Nil)
        next = _child[next][side];
    }
    else
      next = parent < WindowSize ? parent : Nil;
    extremes[side] = static_cast<std::uint16_t>(next);
  }

  int q;
  if (_child[p][Larger] == Nil)
    q = _child[p][Smaller];
  else if (_child[p][Smaller] == Nil)
    q = _child[p][Larger];
  else
  {
    // Two children: the largest string below the smaller side moves up.
    q = _child[p][Smaller];
    if (_child[q][Larger] != Nil)
    {
      do
        q = _child[q][Larger];
      while (_child[q][Larger] != Nil);
      _child[_parent[q]][Larger] = _child[q][Smaller];
      _parent[_child[q][Smaller]] = _parent[q];
      _child[q][Smaller] = _child[p][Smaller];
      _parent[_child[p][Smaller]] = static_cast<std::uint16_t>(q);
    }
    _child[q][Larger] = _child[p][Larger];
    _parent[_child[p][Larger]] = static_cast<std::uint16_t>(q);
  }
  _parent[q] = static_cast<std::uint16_t>(parent);
  _child[parent][_child[parent][Larger] == p ? Larger : Smaller] = static_cast<std::uint16_t>(q);
  _parent[p] = Nil;
}

void Packer::Encode(QOStream &out, QIStream &in)
{
  _in = &in;
  _out = &out;
  // Bytes of the window past the input are compared but never matched
  // beyond it: zero keeps the tree, and so the output, reproducible.
  std::memset(_text, 0, sizeof _text);
  std::memset(_text, WindowFill, StartPosition);
  std::fill(&_child[0][0], &_child[0][0] + 2 * NodeCount, std::uint16_t{Nil});
  std::fill(std::begin(_parent), std::end(_parent), std::uint16_t{Nil});
  std::fill(&_extreme[0][0], &_extreme[0][0] + 2 * 256, std::uint16_t{Nil});
  std::fill(std::begin(_lastSide), std::end(_lastSide), static_cast<unsigned char>(NoSide));

  int s = 0;
  int r = StartPosition;
  int len = 0;
  for (int c; len < LongestMatch && (c = NextByte()) >= 0; ++len)
    _text[r + len] = static_cast<unsigned char>(c);
  if (len == 0)
    return;
  for (int i = 1; i <= LongestMatch; ++i)
    InsertNode(r - i);
  InsertNode(r);

  unsigned char group[GroupInputMax];
  group[0] = 0;
  int groupSize = 1;
  unsigned mask = 1;
  do
  {
    if (_matchLength > len)
      _matchLength = len;
    if (_matchLength < ShortestMatch)
    {
      _matchLength = 1;
      group[0] = static_cast<unsigned char>(group[0] | mask);
      group[groupSize++] = _text[r];
    }
    else
    {
      int distance = (r - _matchPosition) & WindowMask;
      group[groupSize++] = static_cast<unsigned char>(distance);
      group[groupSize++] = static_cast<unsigned char>(((distance >> 4) & 0xF0) | (_matchLength - ShortestMatch));
    }
    mask <<= 1;
    if (mask == 0x100)
    {
      PutGroup(group, groupSize);
      group[0] = 0;
      groupSize = 1;
      mask = 1;
    }
    int consumed = _matchLength;
    int i = 0;
    for (int c; i < consumed && (c = NextByte()) >= 0; ++i)
    {
      DeleteNode(s);
      _text[s] = static_cast<unsigned char>(c);
      if (s < LongestMatch - 1)
        _text[s + WindowSize] = static_cast<unsigned char>(c);
      s = (s + 1) & WindowMask;
      r = (r + 1) & WindowMask;
      InsertNode(r);
    }
    for (; i < consumed; ++i)
    {
      DeleteNode(s);
      s = (s + 1) & WindowMask;
      r = (r + 1) & WindowMask;
      if (--len > 0)
        InsertNode(r);
    }
  } while (len > 0);
  if (groupSize > 1)
    PutGroup(group, groupSize);
  unsigned char checksum[ChecksumSize] = {static_cast<unsigned char>(_sum), static_cast<unsigned char>(_sum >> 8),
                                          static_cast<unsigned char>(_sum >> 16),
                                          static_cast<unsigned char>(_sum >> 24)};
  PutGroup(checksum, ChecksumSize);
  FlushOutput();
}
} // namespace

bool SSCompress::decode(char *destination, long n, QIStream &in)
{
  if (n <= 0)
    return true;
  Unpacker unpacker(reinterpret_cast<unsigned char *>(destination), n);
  return UnpackStream(unpacker, in);
}

bool SSCompress::decode(char *destination, long n, const char *source, long sourceLength)
{
  if (n <= 0)
    return true;
  Unpacker unpacker(reinterpret_cast<unsigned char *>(destination), n);
  const auto *next = reinterpret_cast<const unsigned char *>(source);
  const unsigned char *end = next + std::max(sourceLength, 0L);
  Outcome outcome = unpacker.Run(next, end);
  if (outcome == Outcome::NeedInput)
  {
    Fail(__LINE__, "LZW: stream read failed");
    return false;
  }
  if (outcome == Outcome::Overflow)
  {
    Fail(__LINE__, "LZW overflow");
    return false;
  }
  if (end - next < ChecksumSize)
  {
    Fail(__LINE__, "LZW: end of stream");
    return false;
  }
  return CheckSum(next, unpacker.Sum());
}

bool SSCompress::decodeDiscard(long n, QIStream &in)
{
  if (n <= 0)
    return true;
  // Room for the 4096 bytes a reference may reach back, a chunk of new
  // output, and what the unchecked copies may write past it.
  unsigned char window[WindowSize + 8192 + GroupReach];
  Unpacker unpacker(window, static_cast<std::ptrdiff_t>(sizeof window), n);
  return UnpackStream(unpacker, in);
}

void SSCompress::encode(QOStream &out, QIStream &in)
{
  std::unique_ptr<Packer> packer(new (std::nothrow) Packer);
  if (!packer)
  {
    Fail(__LINE__, "Out of memory");
    return;
  }
  packer->Encode(out, in);
}

// --- QILzssStream -------------------------------------------------------------

namespace
{
// New bytes per segment; the working block holds them after the 4096 bytes
// that references may reach back to, with room for a group's overshoot.
constexpr std::ptrdiff_t StreamBlockSize = 32768;
constexpr std::ptrdiff_t WorkingSize = WindowSize + StreamBlockSize + GroupReach;
// Refills far from the end ask the source for 64 KiB or more, which a stream
// hands to its source's direct read instead of copying it through segments.
constexpr std::ptrdiff_t StreamInputSize = 65536 + GroupInputMax;
// Direct reads shorter than this go through the working block: each direct
// read ends by copying the last 4096 bytes back into it.
constexpr QFileSize DirectMinimum = WindowSize;
} // namespace

// The working block's bytes up to the unpacker's output are the latest
// output, at least min(produced, 4096) of them; those from `delivered` on
// have not been handed out yet. Between reads the unpacker always works in
// the block; a direct read points it at the reader's memory and back.
struct QILzssStream::State
{
  State(QIStream *stream, std::uint64_t unpackedSize, QIStreamBuffer *block)
      : source(stream), working(block), input(source.get(), inputBlock, StreamInputSize),
        unpacker(Block(), WorkingSize, static_cast<std::int64_t>(unpackedSize)), delivered(Block()), size(unpackedSize)
  {
  }

  unsigned char *Block() const { return reinterpret_cast<unsigned char *>(working->DataLock()); }
  bool Running() const { return !damaged && unpacker.Left() > 0; }

  // Copies up to length of the bytes not handed out yet.
  QFileSize TakePending(unsigned char *out, QFileSize length)
  {
    QFileSize n = static_cast<QFileSize>(std::min<std::ptrdiff_t>(unpacker.Output() - delivered, length));
    std::memcpy(out, delivered, n);
    delivered += n;
    return n;
  }

  // Unpacks up to want more bytes (at least one item) into the block; false
  // when nothing came. Everything before must have been handed out.
  bool Fill(std::uint64_t want)
  {
    if (!Running())
      return false;
    unsigned char *slideAt = Block() + WindowSize + StreamBlockSize;
    if (unpacker.Output() >= slideAt)
    {
      unpacker.Slide();
      delivered = unpacker.Output();
    }
    auto room = static_cast<std::uint64_t>(slideAt - unpacker.Output());
    unsigned char *stop = unpacker.Output() + std::min(want, room);
    if (!Pump(unpacker, input, stop))
      damaged = true;
    return unpacker.Output() > delivered;
  }

  // Unpacks straight into out[0..length) (length >= DirectMinimum), short of
  // its end by less than one longest match; answers how many bytes came.
  // Everything before must have been handed out.
  QFileSize UnpackInto(unsigned char *out, QFileSize length)
  {
    unsigned char *block = Block();
    unsigned char *blockEnd = unpacker.Output();
    std::int64_t before = static_cast<std::int64_t>(size) - unpacker.Left();
    unpacker.Redirect(out, out, out + length, before, blockEnd);
    if (!Pump(unpacker, input, out + length - (LongestMatch - 1)))
      damaged = true;
    unsigned char *end = unpacker.Output();
    std::ptrdiff_t produced = end - out;
    // The block takes the latest 4096 bytes again: what it held, followed by
    // what went to the reader.
    std::ptrdiff_t fresh = std::min<std::ptrdiff_t>(produced, WindowSize);
    std::ptrdiff_t kept = std::min<std::ptrdiff_t>(WindowSize - fresh, blockEnd - block);
    std::memmove(block, blockEnd - kept, static_cast<std::size_t>(kept));
    std::memcpy(block + kept, end - fresh, static_cast<std::size_t>(fresh));
    unpacker.Redirect(block, block + kept + fresh, block + WorkingSize, before + produced - kept - fresh, nullptr);
    delivered = unpacker.Output();
    return static_cast<QFileSize>(produced);
  }

  std::unique_ptr<QIStream> source;
  Ref<QIStreamBuffer> working;
  unsigned char inputBlock[StreamInputSize];
  PackedInput input;
  Unpacker unpacker;
  unsigned char *delivered;
  std::uint64_t size;
  bool damaged = false;
};

QILzssStream::QILzssStream(QIStream *source, std::uint64_t unpackedSize) : _size(unpackedSize)
{
  Ref<QIStreamBuffer> block = new (std::nothrow) QIStreamBuffer(static_cast<int>(WorkingSize));
  if (block && block->Size() == WorkingSize)
    _state.reset(new (std::nothrow) State(source, unpackedSize, block.GetRef()));
  if (!_state)
  {
    delete source;
    Fail(__LINE__, "Out of memory");
    _fail = true;
  }
}

QILzssStream::~QILzssStream() = default;

QFileSize QILzssStream::Size() const { return static_cast<QFileSize>(std::min<std::uint64_t>(_size, UINT32_MAX)); }

bool QILzssStream::DataError() const
{
  return _state && (_state->damaged || (_state->source && _state->source->DataError()));
}

void QILzssStream::SegmentAt(StreamSegment &segment, QFileSize position)
{
  State *state = _state.get();
  if (!state)
  {
    segment = StreamSegment::Empty(position);
    return;
  }
  if (state->delivered == state->unpacker.Output())
    state->Fill(StreamBlockSize);
  if (DataError())
    _fail = true;
  unsigned char *block = state->Block();
  unsigned char *output = state->unpacker.Output();
  segment.buffer = state->working;
  if (state->delivered == output)
  {
    segment.start = position;
    segment.length = 0;
    return;
  }
  // The segment starts at the block's start, so the new bytes sit at the
  // asked position and the latest bytes before them can be sought back to.
  segment.start = position - static_cast<std::uint64_t>(state->delivered - block);
  segment.length = static_cast<QFileSize>(output - block);
  state->delivered = output;
}

QFileSize QILzssStream::ReadDirect(void *destination, QFileSize, QFileSize length)
{
  State *state = _state.get();
  if (!state)
    return 0;
  auto *out = static_cast<unsigned char *>(destination);
  QFileSize got = state->TakePending(out, length);
  if (length - got >= DirectMinimum && state->Running())
    got += state->UnpackInto(out + got, length - got);
  // The last few bytes, which a longest match might overrun, come through
  // the block; whatever else they bring waits there for the next read.
  while (got < length && state->Fill(length - got))
    got += state->TakePending(out + got, length - got);
  if (DataError())
    _fail = true;
  return got;
}
