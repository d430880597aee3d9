#include "El/QStream/gzStream.hpp"
#include "El/QStream/ssCompress.hpp"

#include "tests/support/capturingFrame.hpp"
#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace
{
// Optional header fields for Gzip(); empty strings are left out.
struct HeaderFields
{
  std::string extra;
  std::string name;
  std::string comment;
  bool headerCrc = false;
};

// One gzip member made by zlib's own writer.
std::string Gzip(const std::string &data, const HeaderFields *fields = nullptr)
{
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
  gz_header header{};
  std::string name, comment;
  std::string extra;
  if (fields)
  {
    extra = fields->extra;
    name = fields->name;
    comment = fields->comment;
    if (!extra.empty())
    {
      header.extra = reinterpret_cast<Bytef *>(extra.data());
      header.extra_len = static_cast<uInt>(extra.size());
    }
    if (!name.empty())
      header.name = reinterpret_cast<Bytef *>(name.data());
    if (!comment.empty())
      header.comment = reinterpret_cast<Bytef *>(comment.data());
    header.hcrc = fields->headerCrc ? 1 : 0;
    EXPECT_EQ(deflateSetHeader(&z, &header), Z_OK);
  }
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 256, '\0');
  z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef *>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// Runs of text-like bytes alternating with runs of noise.
std::string MixedBytes(std::size_t size, std::uint32_t seed = 1)
{
  static const char words[] = "the quick brown fox jumps over the lazy dog while mission data loads\n";
  std::string bytes;
  bytes.reserve(size);
  while (bytes.size() < size)
  {
    seed = seed * 1664525u + 1013904223u;
    std::size_t run = 500 + (seed >> 20);
    bool noise = (seed >> 8) % 3 == 0;
    for (std::size_t i = 0; i < run && bytes.size() < size; ++i)
    {
      seed = seed * 1664525u + 1013904223u;
      bytes.push_back(noise ? static_cast<char>(seed >> 24) : words[(i + (seed >> 30)) % (sizeof words - 1)]);
    }
  }
  return bytes;
}

// Reads to the end in pieces of the given sizes, cycling through them.
std::string ReadAll(QIStream &in, const std::vector<int> &pieces = {4096})
{
  std::string all;
  std::vector<char> block;
  for (std::size_t i = 0;; ++i)
  {
    int piece = pieces[i % pieces.size()];
    block.resize(static_cast<std::size_t>(piece));
    int got = in.read(block.data(), piece);
    all.append(block.data(), static_cast<std::size_t>(got));
    if (got < piece)
      return all;
  }
}

// A gzip stream over a copy of bytes kept alive with it.
struct GzOverMemory
{
  explicit GzOverMemory(std::string data) : bytes(std::move(data)), gz(new QIStrStream(bytes.data(), Length())) {}
  int Length() const { return static_cast<int>(bytes.size()); }
  std::string bytes;
  QIGzStream gz;
};

std::string Inflate(const std::string &data, bool *dataError = nullptr)
{
  GzOverMemory in(data);
  std::string all = ReadAll(in.gz);
  if (dataError)
    *dataError = in.gz.DataError();
  return all;
}

// The fixed part of a member header with the given method and flags.
std::string FixedHeader(int method, int flags)
{
  return std::string{'\x1F', '\x8B', static_cast<char>(method), static_cast<char>(flags), 0, 0, 0, 0, 0, 3};
}
} // namespace

TEST(GzStream, OneMemberInflatesToTheOriginalBytes)
{
  std::string data = MixedBytes(50000);
  GzOverMemory in(Gzip(data));
  std::string all(data.size(), '\0');
  EXPECT_EQ(in.gz.read(all.data(), static_cast<int>(all.size())), static_cast<int>(data.size()));
  EXPECT_EQ(all, data);
  EXPECT_FALSE(in.gz.fail());
  EXPECT_EQ(in.gz.tellg(), data.size());
  EXPECT_EQ(in.gz.get(), -1);
  EXPECT_TRUE(in.gz.eof());
  EXPECT_FALSE(in.gz.fail());
  EXPECT_FALSE(in.gz.DataError());
}

TEST(GzStream, EmptyMemberDeliversNothingWithoutError)
{
  bool error = true;
  EXPECT_EQ(Inflate(Gzip("")), "");
  EXPECT_EQ(Inflate(Gzip("") + Gzip("after")), "after");
  Inflate(Gzip(""), &error);
  EXPECT_FALSE(error);
}

TEST(GzStream, ConcatenatedMembersAreDeliveredInOrder)
{
  std::string first = MixedBytes(30000, 7), second = MixedBytes(20001, 8);
  bool error = true;
  EXPECT_EQ(Inflate(Gzip(first) + Gzip(second) + Gzip("third"), &error), first + second + "third");
  EXPECT_FALSE(error);
}

TEST(GzStream, BytesAfterTheLastMemberPassThroughUnchanged)
{
  bool error = true;
  EXPECT_EQ(Inflate(Gzip("packed") + "plain tail", &error), "packed" + std::string("plain tail"));
  EXPECT_FALSE(error);
  // Bytes that only begin like a member are data too.
  EXPECT_EQ(Inflate(Gzip("packed") + "\x1F"), "packed\x1F");
  EXPECT_EQ(Inflate(Gzip("packed") + "\x1F" + "A"), "packed\x1F" + std::string("A"));
  EXPECT_EQ(Inflate(Gzip("packed") + std::string(3, '\0')), "packed" + std::string(3, '\0'));
}

TEST(GzStream, NonGzipInputPassesThroughUnchanged)
{
  bool error = true;
  std::string big = "plain " + MixedBytes(70000, 3);
  EXPECT_EQ(Inflate(big, &error), big);
  EXPECT_FALSE(error);
  EXPECT_EQ(Inflate("x"), "x");
  EXPECT_EQ(Inflate("\x1F"), "\x1F");
  EXPECT_EQ(Inflate(""), "");
  Inflate("", &error);
  EXPECT_FALSE(error);
}

TEST(GzStream, NullSourceIsAnEmptyStream)
{
  QIGzStream gz(nullptr);
  char c;
  EXPECT_EQ(gz.read(&c, 1), 0);
  EXPECT_TRUE(gz.eof());
}

TEST(GzStream, OptionalHeaderFieldsAreSkippedInEveryCombination)
{
  std::string data = "payload after the optional fields";
  for (int mask = 0; mask < 16; ++mask)
  {
    HeaderFields fields;
    if (mask & 1)
      fields.extra = std::string("AB\x04\x00wxyz", 8) + std::string(5000, 'e');
    if (mask & 2)
      fields.name = "level01.pbo";
    if (mask & 4)
      fields.comment = "made for the installer tests";
    fields.headerCrc = (mask & 8) != 0;
    bool error = true;
    EXPECT_EQ(Inflate(Gzip(data, &fields) + Gzip(data, &fields), &error), data + data) << "fields " << mask;
    EXPECT_FALSE(error) << "fields " << mask;
  }
}

TEST(GzStream, SegmentsAreLabelledWithTheRequestedPosition)
{
  GzOverMemory in(Gzip(MixedBytes(40000)));
  StreamSegment segment;
  in.gz.SegmentAt(segment, 12345);
  EXPECT_EQ(segment.start, 12345u);
  EXPECT_EQ(segment.length, 16384u);
  in.gz.SegmentAt(segment, 7);
  EXPECT_EQ(segment.start, 7u);
  EXPECT_EQ(segment.length, 16384u);
  in.gz.SegmentAt(segment, 0);
  EXPECT_EQ(segment.length, 40000u - 2 * 16384u);
  in.gz.SegmentAt(segment, 0);
  EXPECT_EQ(segment.length, 0u);
}

TEST(GzStream, LargeDataReadsAlikeInOddPiecesAndByteByByte)
{
  std::string data = MixedBytes(1 << 20, 11);
  std::string packed = Gzip(data);
  {
    GzOverMemory in(packed);
    EXPECT_EQ(ReadAll(in.gz, {1, 7, 4097, 16385, 100003, 3}), data);
    EXPECT_FALSE(in.gz.DataError());
  }
  GzOverMemory in(packed);
  std::string bytes;
  bytes.reserve(data.size());
  for (int c = in.gz.get(); c >= 0; c = in.gz.get())
    bytes.push_back(static_cast<char>(c));
  EXPECT_EQ(bytes, data);
  EXPECT_FALSE(in.gz.DataError());
}

TEST(GzStream, ReadsGzipFilesThroughAFileStream)
{
  TempFolder folder;
  std::string data = MixedBytes(300000, 5);
  std::string name = folder.File("data.gz");
  gzFile file = gzopen(name.c_str(), "wb6");
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(gzwrite(file, data.data(), static_cast<unsigned>(data.size())), static_cast<int>(data.size()));
  ASSERT_EQ(gzclose(file), Z_OK);

  QIFStream *source = new QIFStream;
  source->open(name.c_str());
  QIGzStream gz(source);
  EXPECT_EQ(ReadAll(gz, {65536}), data);
  EXPECT_FALSE(gz.DataError());

  // A plain file stands where a gzip file is expected.
  std::string plainName = folder.Write("plain.txt", data);
  QIFStream *plain = new QIFStream;
  plain->open(plainName.c_str());
  QIGzStream passThrough(plain);
  EXPECT_EQ(ReadAll(passThrough, {10000}), data);
}

TEST(GzStreamError, BadTrailerCrcIsNotDeliveredSilently)
{
  CapturingFrame frame;
  std::string data = MixedBytes(40000, 9);
  std::string packed = Gzip(data);
  packed[packed.size() - 8] ^= 0x01;
  GzOverMemory in(packed + Gzip("next member"));
  // What was inflated before the bad trailer arrives, flagged as failed.
  std::string all(data.size(), '\0');
  EXPECT_EQ(in.gz.read(all.data(), static_cast<int>(data.size())), static_cast<int>(data.size()));
  EXPECT_EQ(all, data);
  EXPECT_TRUE(in.gz.fail());
  EXPECT_TRUE(in.gz.DataError());
  // Nothing after the bad member, not even the next one.
  char more;
  EXPECT_EQ(in.gz.read(&more, 1), 0);
  EXPECT_TRUE(in.gz.eof());
  EXPECT_TRUE(in.gz.fail());
  EXPECT_TRUE(frame.Contains("CRC mismatch"));
}

TEST(GzStreamError, TruncationAnywhereIsADataError)
{
  CapturingFrame frame;
  HeaderFields fields;
  fields.name = "named.bin";
  std::string data = MixedBytes(60000, 4);
  std::string packed = Gzip(data, &fields);
  // In the magic's second byte, the fixed header, the name, the deflate data
  // and the trailer.
  std::vector<std::size_t> cuts = {2,
                                   3,
                                   9,
                                   10,
                                   14,
                                   20,
                                   packed.size() / 2,
                                   packed.size() - 9,
                                   packed.size() - 8,
                                   packed.size() - 5,
                                   packed.size() - 1};
  for (std::size_t cut : cuts)
  {
    GzOverMemory in(packed.substr(0, cut));
    std::string all = ReadAll(in.gz, {5000});
    EXPECT_TRUE(in.gz.DataError()) << "cut at " << cut;
    EXPECT_EQ(all, data.substr(0, all.size())) << "cut at " << cut;
  }
  EXPECT_TRUE(frame.Contains("cut short"));
}

TEST(GzStreamError, TruncatedSecondMemberIsADataError)
{
  CapturingFrame frame;
  std::string second = Gzip(MixedBytes(10000, 2));
  bool error = false;
  std::string all = Inflate(Gzip("first") + second.substr(0, second.size() / 2), &error);
  EXPECT_TRUE(error);
  EXPECT_EQ(all.substr(0, 5), "first");
}

TEST(GzStreamError, HugeExtraLengthWithLittleDataIsADataError)
{
  CapturingFrame frame;
  bool error = false;
  EXPECT_EQ(Inflate(FixedHeader(8, 4) + "\xFF\xFF" + std::string(100, 'x'), &error), "");
  EXPECT_TRUE(error);
  EXPECT_TRUE(frame.Contains("extra header field"));
}

TEST(GzStreamError, ReservedFlagBitsAndOtherMethodsAreRejected)
{
  CapturingFrame frame;
  std::string body = Gzip("body").substr(10);
  for (int flag : {0x20, 0x40, 0x80})
  {
    GzOverMemory in(FixedHeader(8, flag) + body);
    EXPECT_TRUE(in.gz.DataError()) << "flag " << flag;
    EXPECT_TRUE(in.gz.fail()) << "flag " << flag;
    EXPECT_EQ(ReadAll(in.gz), "") << "flag " << flag;
  }
  for (int method : {0, 7, 9, 0xFF})
    EXPECT_TRUE(GzOverMemory(FixedHeader(method, 0) + body).gz.DataError()) << "method " << method;
  EXPECT_FALSE(GzOverMemory(FixedHeader(8, 0) + body).gz.DataError());
}

TEST(GzStreamError, DamagedDeflateDataIsADataError)
{
  CapturingFrame frame;
  bool error = false;
  // A final block of the reserved block type.
  EXPECT_EQ(Inflate(FixedHeader(8, 0) + "\x07" + std::string(20, '\0'), &error), "");
  EXPECT_TRUE(error);
  EXPECT_TRUE(frame.Contains("damaged deflate data"));
}

TEST(GzStreamError, GzipInsidePackedDataIsOnlySoundWhenThePackedDataIs)
{
  std::string data = MixedBytes(200000, 6);
  std::string gzip = Gzip(data);
  QIStrStream plain(gzip.data(), static_cast<int>(gzip.size()));
  QOStrStream out;
  SSCompress().encode(out, plain);
  std::string packed(out.str(), out.pcount());
  for (bool damage : {false, true})
  {
    CapturingFrame frame;
    std::string bytes = packed;
    // The packed checksum: nothing but the very last byte read tells.
    if (damage)
      bytes.back() = static_cast<char>(bytes.back() ^ 1);
    QIGzStream gz(new QILzssStream(new QIStrStream(bytes.data(), static_cast<int>(bytes.size())), gzip.size()));
    std::string all(data.size(), '\0');
    EXPECT_EQ(gz.read(all.data(), static_cast<int>(all.size())), static_cast<int>(data.size()));
    EXPECT_EQ(all, data);
    EXPECT_EQ(gz.get(), -1);
    EXPECT_EQ(gz.DataError(), damage);
    EXPECT_EQ(gz.fail(), damage);
  }
}
