#include "El/QStream/ssCompress.hpp"

#include "El/QStream/qOStream.hpp"
#include "El/QStream/qStream.hpp"

#include "tests/support/capturingFrame.hpp"
#include "tests/support/packedBytes.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace
{
bool UnpackMemory(const std::string &packed, long n, std::string &unpacked)
{
  unpacked.assign(static_cast<std::size_t>(std::max(n, 0L)), '\0');
  return SSCompress().decode(unpacked.data(), n, packed.data(), static_cast<long>(packed.size()));
}

bool UnpackStream(QIStream &in, long n, std::string &unpacked)
{
  unpacked.assign(static_cast<std::size_t>(std::max(n, 0L)), '\0');
  return SSCompress().decode(unpacked.data(), n, in);
}

bool UnpackStream(const std::string &packed, long n, std::string &unpacked)
{
  QIStrStream in(packed.data(), static_cast<int>(packed.size()));
  return UnpackStream(in, n, unpacked);
}

std::string Checksum(const std::string &data)
{
  std::uint32_t sum = 0;
  for (char c : data)
    sum += static_cast<unsigned char>(c);
  return {static_cast<char>(sum), static_cast<char>(sum >> 8), static_cast<char>(sum >> 16),
          static_cast<char>(sum >> 24)};
}

std::string Bytes(std::initializer_list<int> values)
{
  std::string bytes;
  for (int value : values)
    bytes += static_cast<char>(value);
  return bytes;
}

std::string Random(std::size_t size, std::uint32_t seed)
{
  std::string bytes(size, '\0');
  for (char &c : bytes)
  {
    seed = seed * 1664525u + 1013904223u;
    c = static_cast<char>(seed >> 24);
  }
  return bytes;
}

std::string Text(std::size_t size)
{
  static const char *const words[] = {"class ",      "model",        " = ",     "\"",     "armor",
                                      "speed",       "{\n",          "};\n",    "weapon", "0.5",
                                      "displayName", "magazines[] ", "texture", "1200",   ", "};
  std::string text;
  std::uint32_t seed = 99;
  while (text.size() < size)
  {
    seed = seed * 1664525u + 1013904223u;
    text += words[(seed >> 16) % (sizeof words / sizeof words[0])];
  }
  text.resize(size);
  return text;
}

// Runs of bytes of varying length and value, with some noise between them.
std::string Runs(std::size_t size)
{
  std::string bytes;
  std::uint32_t seed = 5;
  while (bytes.size() < size)
  {
    seed = seed * 1664525u + 1013904223u;
    bytes.append((seed >> 8) % 40 + 1, static_cast<char>(seed >> 24));
    bytes += static_cast<char>(seed >> 16);
  }
  bytes.resize(size);
  return bytes;
}

// Serves its data in segments of a few bytes, so that packed items straddle
// segment ends.
class ChoppedStream : public QIStream
{
public:
  ChoppedStream(const std::string &data, QFileSize piece) : _data(data), _piece(piece) {}

  void SegmentAt(StreamSegment &segment, QFileSize position) override
  {
    if (position >= _data.size())
    {
      segment = StreamSegment::Empty(position);
      return;
    }
    QFileSize length = std::min<QFileSize>(_piece, static_cast<QFileSize>(_data.size()) - position);
    segment.buffer = new QIStreamBufferTemp(_data.data() + position, static_cast<int>(length));
    segment.start = position;
    segment.length = length;
  }
  bool Request(IPreloadRequestor *, void *, int, QFileSize, QFileSize) override { return true; }
  QFileSize Size() const override { return static_cast<QFileSize>(_data.size()); }

private:
  const std::string &_data;
  QFileSize _piece;
};

// The packer's search written the plain way: a binary tree per first byte,
// walked from its root for every string, no shortcuts. The codec's packer
// must produce the very same bytes.
class PlainPacker
{
public:
  std::string PackedBytes(const std::string &input)
  {
    std::string out;
    if (input.empty())
      return out;
    std::fill(std::begin(_text), std::end(_text), 0);
    std::fill(_text, _text + Start, ' ');
    std::fill(std::begin(_smaller), std::end(_smaller), Nil);
    std::fill(std::begin(_larger), std::end(_larger), Nil);
    std::fill(std::begin(_parent), std::end(_parent), Nil);
    std::size_t next = 0;
    int r = Start;
    int s = 0;
    int len = 0;
    for (; len < 18 && next < input.size(); ++len)
      _text[r + len] = static_cast<unsigned char>(input[next++]);
    for (int i = 1; i <= 18; ++i)
      Insert(r - i);
    Insert(r);
    std::string group(1, '\0');
    int items = 0;
    while (len > 0)
    {
      int length = std::min(_matchLength, len);
      if (length < 3)
      {
        length = 1;
        group[0] = static_cast<char>(group[0] | 1 << items);
        group += static_cast<char>(_text[r]);
      }
      else
      {
        int distance = (r - _matchPosition) & 0xFFF;
        group += static_cast<char>(distance);
        group += static_cast<char>(((distance >> 4) & 0xF0) | (length - 3));
      }
      if (++items == 8)
      {
        out += group;
        group.assign(1, '\0');
        items = 0;
      }
      for (int i = 0; i < length; ++i)
      {
        Delete(s);
        if (next < input.size())
        {
          _text[s] = static_cast<unsigned char>(input[next++]);
          if (s < 17)
            _text[s + 4096] = _text[s];
        }
        else
          --len;
        s = (s + 1) & 0xFFF;
        r = (r + 1) & 0xFFF;
        if (len > 0)
          Insert(r);
      }
    }
    if (items > 0)
      out += group;
    return out + Checksum(input);
  }

private:
  static constexpr int Start = 4078;
  static constexpr int Nil = 4096;

  void Insert(int r)
  {
    int p = 4097 + _text[r];
    int order = 1;
    _larger[r] = _smaller[r] = Nil;
    _matchLength = 0;
    for (;;)
    {
      int &link = order >= 0 ? _larger[p] : _smaller[p];
      if (link == Nil)
      {
        link = r;
        _parent[r] = p;
        return;
      }
      p = link;
      int i = 1;
      while (i < 18 && (order = _text[r + i] - _text[p + i]) == 0)
        ++i;
      if (i > _matchLength)
      {
        _matchPosition = p;
        _matchLength = i;
        if (i == 18)
          break;
      }
    }
    _parent[r] = _parent[p];
    _smaller[r] = _smaller[p];
    _larger[r] = _larger[p];
    _parent[_smaller[p]] = r;
    _parent[_larger[p]] = r;
    (_larger[_parent[p]] == p ? _larger : _smaller)[_parent[p]] = r;
    _parent[p] = Nil;
  }

  void Delete(int p)
  {
    if (_parent[p] == Nil)
      return;
    int q;
    if (_larger[p] == Nil)
      q = _smaller[p];
    else if (_smaller[p] == Nil)
      q = _larger[p];
    else
    {
      q = _smaller[p];
      if (_larger[q] != Nil)
      {
        while (_larger[q] != Nil)
          q = _larger[q];
        _larger[_parent[q]] = _smaller[q];
        _parent[_smaller[q]] = _parent[q];
        _smaller[q] = _smaller[p];
        _parent[_smaller[p]] = q;
      }
      _larger[q] = _larger[p];
      _parent[_larger[p]] = q;
    }
    _parent[q] = _parent[p];
    (_larger[_parent[p]] == p ? _larger : _smaller)[_parent[p]] = q;
    _parent[p] = Nil;
  }

  unsigned char _text[4096 + 17];
  int _smaller[4097 + 256];
  int _larger[4097 + 256];
  int _parent[4097 + 256];
  int _matchPosition = 0;
  int _matchLength = 0;
};

// Rows of pixels with rising values: every new string is the largest of its
// tree, the case the packer takes a shortcut for.
std::string Gradient(std::size_t size)
{
  std::string bytes;
  for (std::size_t i = 0; bytes.size() < size; ++i)
  {
    bytes += static_cast<char>(128);
    bytes += static_cast<char>(i / 256);
    bytes += static_cast<char>((i % 256) / 2);
  }
  bytes.resize(size);
  return bytes;
}

// The full text of a report this codec makes.
std::string Report(const std::string &message) { return ") : " + message; }

bool OnlyReport(const CapturingFrame &frame, const std::string &message)
{
  return frame.lines.size() == 1 && frame.lines[0].rfind("El/QStream/ssCompress(", 0) == 0 &&
         frame.lines[0].size() >= message.size() + 4 &&
         frame.lines[0].compare(frame.lines[0].size() - message.size() - 4, std::string::npos, Report(message)) == 0;
}
} // namespace

TEST(SSCompressRoundTrip, EveryDecoderRestoresWhatTheEncoderPacked)
{
  std::string mixed = Text(300000) + Random(200000, 7) + Runs(300000) + Text(248576);
  const std::vector<std::pair<const char *, std::string>> cases = {
      {"one byte", "Q"},
      {"17 bytes", Text(17)},
      {"18 bytes", Text(18)},
      {"19 bytes", Text(19)},
      {"spaces", std::string(5000, ' ')},
      {"zeros", std::string(5000, '\0')},
      {"4077 bytes", Runs(4077)},
      {"4095 bytes", Text(4095)},
      {"4096 bytes", Random(4096, 1)},
      {"4097 bytes", Text(4097)},
      {"text", Text(100000)},
      {"random", Random(70000, 3)},
      {"runs", Runs(50000)},
      {"1 MiB mixed", mixed},
  };
  for (const auto &[name, data] : cases)
  {
    SCOPED_TRACE(name);
    std::string packed = PackedBytes(data);
    long n = static_cast<long>(data.size());
    std::string unpacked;
    ASSERT_TRUE(UnpackMemory(packed, n, unpacked));
    EXPECT_TRUE(unpacked == data);
    ASSERT_TRUE(UnpackStream(packed, n, unpacked));
    EXPECT_TRUE(unpacked == data);
    ChoppedStream chopped(packed, 5);
    ASSERT_TRUE(UnpackStream(chopped, n, unpacked));
    EXPECT_TRUE(unpacked == data);
    EXPECT_EQ(chopped.tellg(), packed.size());
    QIStrStream discarded(packed.data(), static_cast<int>(packed.size()));
    EXPECT_TRUE(SSCompress().decodeDiscard(n, discarded));
    EXPECT_EQ(discarded.tellg(), packed.size());
  }
}

TEST(SSCompressRoundTrip, RepetitiveDataShrinksAndNoiseGrowsByNoMoreThanItsFlagBytes)
{
  std::string text = Text(100000);
  EXPECT_LT(PackedBytes(text).size(), text.size() / 2);
  std::string noise = Random(80000, 11);
  EXPECT_LE(PackedBytes(noise).size(), noise.size() + noise.size() / 8 + 4);
  EXPECT_GT(PackedBytes(noise).size(), noise.size());
}

TEST(SSCompressEncode, EmptyInputPacksToNothing) { EXPECT_EQ(PackedBytes(""), ""); }

TEST(SSCompressEncode, OneByteIsALiteralGroupFollowedByItsValueAsChecksum)
{
  EXPECT_EQ(PackedBytes("\xC8"), Bytes({0x01, 0xC8, 0xC8, 0x00, 0x00, 0x00}));
}

TEST(SSCompressEncode, ARunIsOneLiteralAndAReferenceOfDistanceOne)
{
  // 19 * 'x' = 2280 = 0x8E8.
  EXPECT_EQ(PackedBytes(std::string(19, 'x')), Bytes({0x01, 'x', 0x01, 0x0F, 0xE8, 0x08, 0x00, 0x00}));
}

TEST(SSCompressEncode, LeadingSpacesReferToThePrefilledWindow)
{
  EXPECT_EQ(PackedBytes("   "), Bytes({0x00, 0x01, 0x00, 0x60, 0x00, 0x00, 0x00}));
}

TEST(SSCompressEncode, ProducesTheBytesOfThePlainTreeSearch)
{
  std::string falling = Gradient(30000);
  std::reverse(falling.begin(), falling.end());
  const std::vector<std::pair<const char *, std::string>> cases = {
      {"short", Text(40)},
      {"text", Text(60000)},
      {"runs", Runs(30000)},
      {"noise", Random(20000, 8)},
      {"rising", Gradient(60000)},
      {"falling", falling},
      {"spaces", std::string(9000, ' ') + Text(100)},
      {"mixed", Gradient(10000) + Text(10000) + Runs(10000) + Random(5000, 2) + Gradient(10000)},
  };
  for (const auto &[name, data] : cases)
  {
    SCOPED_TRACE(name);
    EXPECT_TRUE(PackedBytes(data) == PlainPacker().PackedBytes(data));
  }
}

TEST(SSCompressEncode, PacksFromTheCurrentPositionToTheEndAfterWhatIsAlreadyWritten)
{
  std::string data = "skipped" + Text(3000);
  QIStrStream in(data.data(), static_cast<int>(data.size()));
  in.seekg(7);
  QOStrStream out;
  out.write("head", 4);
  SSCompress().encode(out, in);
  std::string written(out.str(), out.pcount());
  ASSERT_EQ(written.substr(0, 4), "head");
  EXPECT_EQ(written.substr(4), PackedBytes(data.substr(7)));
}

TEST(SSCompressDecode, EightLiteralsUnderAFullFlagByte)
{
  std::string packed = Bytes({0xFF}) + "ABCDEFGH" + Checksum("ABCDEFGH");
  std::string unpacked;
  ASSERT_TRUE(UnpackMemory(packed, 8, unpacked));
  EXPECT_EQ(unpacked, "ABCDEFGH");
  ASSERT_TRUE(UnpackStream(packed, 8, unpacked));
  EXPECT_EQ(unpacked, "ABCDEFGH");
}

TEST(SSCompressDecode, AReferenceMayCopyTheBytesItIsProducing)
{
  std::string expected(19, 'x');
  std::string packed = Bytes({0x01, 'x', 0x01, 0x0F}) + Checksum(expected);
  std::string unpacked;
  ASSERT_TRUE(UnpackMemory(packed, 19, unpacked));
  EXPECT_EQ(unpacked, expected);
  ASSERT_TRUE(UnpackStream(packed, 19, unpacked));
  EXPECT_EQ(unpacked, expected);
}

TEST(SSCompressDecode, ReferencesBeforeTheFirstByteReadTheStartingWindow)
{
  // Distance 16, length 5: spaces. Then at position 4083 distance 4090,
  // length 10: the never-written positions 4089..4095 (zeros), then the
  // spaces at 0..2.
  std::string expected = std::string(5, ' ') + std::string(7, '\0') + std::string(3, ' ');
  std::string packed = Bytes({0x00, 0x10, 0x02, 0xFA, 0xF7}) + Checksum(expected);
  std::string unpacked;
  ASSERT_TRUE(UnpackMemory(packed, 15, unpacked));
  EXPECT_EQ(unpacked, expected);
  ASSERT_TRUE(UnpackStream(packed, 15, unpacked));
  EXPECT_EQ(unpacked, expected);
  QIStrStream in(packed.data(), static_cast<int>(packed.size()));
  EXPECT_TRUE(SSCompress().decodeDiscard(15, in));
}

TEST(SSCompressDecode, DistanceZeroReachesBackAWholeWindow)
{
  std::string literals = Random(4096, 21);
  std::string packed;
  for (std::size_t group = 0; group < 4096 / 8; ++group)
    packed += Bytes({0xFF}) + literals.substr(group * 8, 8);
  std::string expected = literals + literals.substr(0, 5);
  packed += Bytes({0x00, 0x00, 0x02}) + Checksum(expected);
  std::string unpacked;
  ASSERT_TRUE(UnpackMemory(packed, 4101, unpacked));
  EXPECT_TRUE(unpacked == expected);
  ASSERT_TRUE(UnpackStream(packed, 4101, unpacked));
  EXPECT_TRUE(unpacked == expected);
  QIStrStream in(packed.data(), static_cast<int>(packed.size()));
  EXPECT_TRUE(SSCompress().decodeDiscard(4101, in));
}

TEST(SSCompressDecode, AReferenceMayEndExactlyAtTheLastOwedByte)
{
  std::string expected(10, 'a');
  std::string packed = Bytes({0x01, 'a', 0x01, 0x06}) + Checksum(expected);
  std::string unpacked;
  ASSERT_TRUE(UnpackMemory(packed, 10, unpacked));
  EXPECT_EQ(unpacked, expected);
  ASSERT_TRUE(UnpackStream(packed, 10, unpacked));
  EXPECT_EQ(unpacked, expected);
}

TEST(SSCompressDecode, AReferenceLongerThanWhatIsOwedIsAnOverflow)
{
  // One literal, then 10 bytes wanted where 9 are owed.
  std::string packed = Bytes({0x01, 'a', 0x01, 0x07}) + Checksum(std::string(10, 'a'));
  for (int decoder = 0; decoder < 3; ++decoder)
  {
    SCOPED_TRACE(decoder);
    CapturingFrame frame;
    // Room for all 11 bytes: only n counts.
    std::string unpacked(64, '\0');
    QIStrStream in(packed.data(), static_cast<int>(packed.size()));
    bool ok = decoder == 0   ? SSCompress().decode(unpacked.data(), 10, packed.data(), static_cast<long>(packed.size()))
              : decoder == 1 ? SSCompress().decode(unpacked.data(), 10, in)
                             : SSCompress().decodeDiscard(10, in);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(OnlyReport(frame, "LZW overflow")) << (frame.lines.empty() ? "" : frame.lines[0]);
    if (decoder < 2)
    {
      EXPECT_EQ(unpacked[0], 'a');
    }
  }
}

TEST(SSCompressDecode, AWrongChecksumFailsAfterAllBytesAreWritten)
{
  std::string data = Text(5000);
  std::string packed = PackedBytes(data);
  packed[packed.size() - 4] = static_cast<char>(packed[packed.size() - 4] ^ 1);
  for (int decoder = 0; decoder < 3; ++decoder)
  {
    SCOPED_TRACE(decoder);
    CapturingFrame frame;
    std::string unpacked(data.size(), '\0');
    QIStrStream in(packed.data(), static_cast<int>(packed.size()));
    bool ok = decoder == 0   ? UnpackMemory(packed, 5000, unpacked)
              : decoder == 1 ? UnpackStream(in, 5000, unpacked)
                             : SSCompress().decodeDiscard(5000, in);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(OnlyReport(frame, "Checksum"));
    if (decoder < 2)
    {
      EXPECT_TRUE(unpacked == data);
    }
    if (decoder > 0)
    {
      EXPECT_EQ(in.tellg(), packed.size());
    }
  }
}

TEST(SSCompressDecode, TruncationIsReportedByWhatWasMissing)
{
  // Literals a, b; a reference of distance 2 and length 4; five literals;
  // then under a second flag byte a reference of distance 1 and length 3.
  std::string expected = "ababab12345555";
  std::string packed =
      Bytes({0xFB, 'a', 'b', 0x02, 0x01, '1', '2', '3', '4', '5', 0x00, 0x01, 0x00}) + Checksum(expected);
  std::string unpacked;
  ASSERT_TRUE(UnpackMemory(packed, 14, unpacked));
  ASSERT_EQ(unpacked, expected);

  const std::vector<std::pair<std::size_t, const char *>> cuts = {
      {0, "LZW: stream read failed"},  // no flag byte
      {1, "LZW: stream read failed"},  // no literal
      {4, "LZW: stream read failed"},  // a reference's second byte
      {10, "LZW: stream read failed"}, // the second flag byte
      {12, "LZW: stream read failed"}, // its reference's second byte
      {13, "LZW: end of stream"},      // no checksum
      {16, "LZW: end of stream"},      // three checksum bytes
  };
  for (const auto &[size, message] : cuts)
  {
    SCOPED_TRACE(size);
    std::string cut = packed.substr(0, size);
    for (int decoder = 0; decoder < 4; ++decoder)
    {
      SCOPED_TRACE(decoder);
      CapturingFrame frame;
      QIStrStream in(cut.data(), static_cast<int>(cut.size()));
      ChoppedStream chopped(cut, 1);
      bool ok = decoder == 0   ? UnpackMemory(cut, 14, unpacked)
                : decoder == 1 ? UnpackStream(in, 14, unpacked)
                : decoder == 2 ? UnpackStream(chopped, 14, unpacked)
                               : SSCompress().decodeDiscard(14, in);
      EXPECT_FALSE(ok);
      EXPECT_TRUE(OnlyReport(frame, message)) << (frame.lines.empty() ? "" : frame.lines[0]);
      // What was unpacked before the data ran out stays.
      if (decoder < 3 && size >= 10)
      {
        EXPECT_EQ(unpacked.substr(0, 11), expected.substr(0, 11));
      }
    }
  }
}

TEST(SSCompressDecode, NothingToUnpackReadsNothing)
{
  CapturingFrame frame;
  std::string data = "Z";
  QIStrStream in(data.data(), 1);
  char destination = '?';
  EXPECT_TRUE(SSCompress().decode(&destination, 0, in));
  EXPECT_TRUE(SSCompress().decode(&destination, -5, in));
  EXPECT_TRUE(SSCompress().decodeDiscard(0, in));
  EXPECT_TRUE(SSCompress().decode(&destination, 0, nullptr, 0));
  EXPECT_EQ(in.get(), 'Z');
  EXPECT_EQ(destination, '?');
  EXPECT_TRUE(frame.lines.empty());
}

TEST(SSCompressDecode, TheStreamStopsRightAfterTheChecksum)
{
  // Last, a run: the best packing there is, so the stream holds the fewest
  // packed bytes per unpacked byte a decoder could count on.
  for (std::size_t size : {1u, 18u, 5000u, 200000u, 300000u})
  {
    SCOPED_TRACE(size);
    std::string data = size == 300000u ? std::string(size, 'z') : Random(size / 2, 4) + Text(size - size / 2);
    std::string packed = PackedBytes(data) + "TAIL" + Text(100);
    std::string unpacked;
    for (QFileSize piece : {3u, 4096u, 1u << 30})
    {
      ChoppedStream in(packed, piece);
      ASSERT_TRUE(UnpackStream(in, static_cast<long>(size), unpacked));
      char tail[4];
      ASSERT_EQ(in.read(tail, 4), 4);
      EXPECT_EQ(std::string(tail, 4), "TAIL");
      ChoppedStream skipped(packed, piece);
      ASSERT_TRUE(SSCompress().decodeDiscard(static_cast<long>(size), skipped));
      ASSERT_EQ(skipped.read(tail, 4), 4);
      EXPECT_EQ(std::string(tail, 4), "TAIL");
    }
  }
}

TEST(SSCompressDecode, DiscardingChecksTheDataLikeUnpacking)
{
  std::string data = Runs(100000);
  std::string packed = PackedBytes(data);
  QIStrStream good(packed.data(), static_cast<int>(packed.size()));
  EXPECT_TRUE(SSCompress().decodeDiscard(100000, good));

  CapturingFrame frame;
  std::string damaged = packed;
  damaged[damaged.size() / 2] = static_cast<char>(damaged[damaged.size() / 2] ^ 0x40);
  QIStrStream bad(damaged.data(), static_cast<int>(damaged.size()));
  EXPECT_FALSE(SSCompress().decodeDiscard(100000, bad));
  std::string unpacked;
  EXPECT_FALSE(UnpackMemory(damaged, 100000, unpacked));
  ASSERT_EQ(frame.lines.size(), 2u);
  // Both decoders fail the same way, whatever the damage did.
  std::string first = frame.lines[0].substr(frame.lines[0].find(" : "));
  std::string second = frame.lines[1].substr(frame.lines[1].find(" : "));
  EXPECT_EQ(first, second);
}
