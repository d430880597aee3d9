#include "El/QStream/serializeBin.hpp"

#include "El/QStream/ssCompress.hpp"

#include "tests/support/capturingFrame.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

namespace
{
// What the serializer writes through a memory stream.
std::string Saved(const std::function<void(SerializeBinStream &)> &save)
{
  QOStrStream out;
  SerializeBinStream stream(&out);
  save(stream);
  EXPECT_EQ(stream.error(), 0);
  return std::string(out.str(), out.pcount());
}

// A serializer reading a copy of bytes kept alive with it.
struct Loader
{
  explicit Loader(std::string data)
      : bytes(std::move(data)), in(bytes.data(), static_cast<int>(bytes.size())), stream(&in)
  {
  }
  std::string bytes;
  QIStrStream in;
  SerializeBinStream stream;
};

std::string Int32Bytes(std::uint32_t value)
{
  char bytes[4];
  for (int i = 0; i < 4; ++i)
    bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return std::string(bytes, 4);
}

// Text-like bytes (all below 128) that pack well: runs of a phrase taken
// from varying places.
std::string Text(std::size_t size, std::uint32_t seed = 1)
{
  static const char words[] = "mission data, textures and sounds of the campaign ";
  std::string bytes;
  while (bytes.size() < size)
  {
    seed = seed * 1664525u + 1013904223u;
    std::size_t from = (seed >> 8) % (sizeof words - 1);
    std::size_t run = 8 + (seed >> 27);
    for (std::size_t i = 0; i < run && bytes.size() < size; ++i)
      bytes.push_back(words[(from + i) % (sizeof words - 1)]);
  }
  return bytes;
}

std::uint32_t ByteSum(const std::string &bytes)
{
  std::uint32_t sum = 0;
  for (char c : bytes)
    sum += static_cast<unsigned char>(c);
  return sum;
}

// One entry of a file list: a record that describes itself in both directions.
struct Entry
{
  RString name;
  std::int32_t size = 0;
  unsigned char archive = 0;

  void SerializeBin(SerializeBinStream &stream)
  {
    stream.transfer(name);
    stream.transfer(size);
    stream.transfer(archive);
  }
};

// Records what a stream is told to read ahead.
class ReadAheadProbe : public QIStrStream
{
public:
  using QIStrStream::QIStrStream;
  void ReadAhead(QFileSize length) override { hinted = length; }
  QFileSize hinted = 0;
};
} // namespace

TEST(SerializeBin, ScalarsAreWrittenLittleEndianAndReadBack)
{
  std::int32_t i = -2;
  std::uint32_t u = 0xDEADBEEF;
  unsigned char b = 200;
  char c = 'x';
  bool yes = true, no = false;
  std::string bytes = Saved(
      [&](SerializeBinStream &s)
      {
        EXPECT_TRUE(s.IsSaving());
        EXPECT_FALSE(s.IsLoading());
        s.transfer(i);
        s.transfer(u);
        s.transfer(b);
        s.transfer(c);
        s.transfer(yes);
        s.transfer(no);
      });
  EXPECT_EQ(bytes, Int32Bytes(0xFFFFFFFE) + Int32Bytes(0xDEADBEEF) + "\xC8x" + std::string("\x01\x00", 2));

  Loader load(bytes);
  EXPECT_TRUE(load.stream.IsLoading());
  std::int32_t i2 = 0;
  std::uint32_t u2 = 0;
  unsigned char b2 = 0;
  char c2 = 0;
  bool yes2 = false, no2 = true;
  load.stream.transfer(i2);
  load.stream.transfer(u2);
  load.stream.transfer(b2);
  load.stream.transfer(c2);
  load.stream.transfer(yes2);
  load.stream.transfer(no2);
  EXPECT_EQ(i2, -2);
  EXPECT_EQ(u2, 0xDEADBEEFu);
  EXPECT_EQ(b2, 200);
  EXPECT_EQ(c2, 'x');
  EXPECT_TRUE(yes2);
  EXPECT_FALSE(no2);
  EXPECT_EQ(load.stream.error(), 0);
  EXPECT_EQ(load.stream.version(), -1);
}

TEST(SerializeBin, AnyNonZeroByteReadsAsTrue)
{
  Loader load(std::string("\x02", 1));
  bool value = false;
  load.stream.transfer(value);
  EXPECT_TRUE(value);
}

TEST(SerializeBin, ShortReadLeavesTheMissingBytesOfTheDestination)
{
  Loader load("\xAA\xBB");
  std::int32_t value = 0x11223344;
  load.stream.transfer(value);
  EXPECT_EQ(static_cast<std::uint32_t>(value), 0x1122BBAAu);
  EXPECT_EQ(load.stream.error(), 0);

  Loader empty("");
  std::uint32_t untouched = 0xCAFEF00D;
  empty.stream.transfer(untouched);
  EXPECT_EQ(untouched, 0xCAFEF00Du);
}

TEST(SerializeBin, StringsEndWithAZeroByteAndReadBack)
{
  RString text("readme.txt"), empty;
  std::string bytes = Saved(
      [&](SerializeBinStream &s)
      {
        s.transfer(text);
        s.transfer(empty);
      });
  EXPECT_EQ(bytes, std::string("readme.txt\0\0", 12));

  CapturingFrame frame;
  Loader load(bytes);
  RString a("old"), b("old");
  load.stream.transfer(a);
  load.stream.transfer(b);
  EXPECT_EQ(a, "readme.txt");
  EXPECT_TRUE(b.IsEmpty());
  EXPECT_EQ(load.stream.error(), 0);
  EXPECT_TRUE(frame.lines.empty());
}

TEST(SerializeBin, StringCutOffByTheEndOfDataIsReportedAndKept)
{
  CapturingFrame frame;
  Loader load("abc");
  RString value;
  load.stream.transfer(value);
  EXPECT_EQ(value, "abc");
  EXPECT_EQ(load.stream.error(), SerializeBinStream::EBadFileStructure);
  ASSERT_EQ(frame.lines.size(), 1u);
  EXPECT_TRUE(frame.Contains("El/QStream/serializeBin("));
  EXPECT_TRUE(frame.Contains("Assertion failed 'EOF in string'"));
}

TEST(SerializeBin, LongStringsGrowAsTheyAreRead)
{
  std::string big = Text(200000);
  Loader load(big + std::string(1, '\0'));
  RString value;
  load.stream.transfer(value);
  EXPECT_EQ(std::string(value.Data()), big);
  EXPECT_EQ(load.stream.error(), 0);
}

TEST(SerializeBin, ListStringStopsAtZeroOr255AndKeepsWhatItReadWithoutError)
{
  CapturingFrame frame;
  Loader load(std::string("data.pbo\0ab\xFF"
                          "cd",
                          14));
  RString first, second, third, fourth("old");
  load.stream.transferListString(first);
  load.stream.transferListString(second);
  load.stream.transferListString(third);
  load.stream.transferListString(fourth);
  EXPECT_EQ(first, "data.pbo");
  EXPECT_EQ(second, "ab");
  EXPECT_EQ(third, "cd");
  EXPECT_TRUE(fourth.IsEmpty());
  EXPECT_EQ(load.stream.error(), 0);
  EXPECT_TRUE(frame.lines.empty());
}

TEST(SerializeBin, ListStringIsWrittenLikeAString)
{
  RString name("bin/setup.dat");
  EXPECT_EQ(Saved([&](SerializeBinStream &s) { s.transferListString(name); }), std::string("bin/setup.dat\0", 14));
}

TEST(SerializeBin, ArraysOfIntsStringsAndRecordsRoundTrip)
{
  AutoArray<std::int32_t> ints;
  ints.Add(1);
  ints.Add(-1);
  ints.Add(0x7FFFFFFF);
  AutoArray<RString> names;
  names.Add("a");
  names.Add("");
  names.Add("longer name");
  AutoArray<Entry> entries;
  entries.Add(Entry{"core.pbo", 123456, 0});
  entries.Add(Entry{"sound.pbo", 7, 3});
  AutoArray<std::int32_t> none;

  std::string bytes = Saved(
      [&](SerializeBinStream &s)
      {
        s.transfer(ints);
        s.transfer(names);
        s.transfer(entries);
        s.transfer(none);
      });
  std::string expected = Int32Bytes(3) + Int32Bytes(1) + Int32Bytes(0xFFFFFFFF) + Int32Bytes(0x7FFFFFFF) +
                         Int32Bytes(3) + std::string("a\0\0longer name\0", 15) + Int32Bytes(2) +
                         std::string("core.pbo\0", 9) + Int32Bytes(123456) + std::string(1, '\0') +
                         std::string("sound.pbo\0", 10) + Int32Bytes(7) + "\x03" + Int32Bytes(0);
  EXPECT_EQ(bytes, expected);

  Loader load(bytes);
  AutoArray<std::int32_t> ints2, none2;
  none2.Add(99); // reading replaces what an array held
  AutoArray<RString> names2;
  AutoArray<Entry> entries2;
  load.stream.transfer(ints2);
  load.stream.transfer(names2);
  load.stream.transfer(entries2);
  load.stream.transfer(none2);
  ASSERT_EQ(ints2.Size(), 3);
  EXPECT_EQ(ints2[0], 1);
  EXPECT_EQ(ints2[1], -1);
  EXPECT_EQ(ints2[2], 0x7FFFFFFF);
  ASSERT_EQ(names2.Size(), 3);
  EXPECT_EQ(names2[0], "a");
  EXPECT_TRUE(names2[1].IsEmpty());
  EXPECT_EQ(names2[2], "longer name");
  ASSERT_EQ(entries2.Size(), 2);
  EXPECT_EQ(entries2[0].name, "core.pbo");
  EXPECT_EQ(entries2[0].size, 123456);
  EXPECT_EQ(entries2[0].archive, 0);
  EXPECT_EQ(entries2[1].name, "sound.pbo");
  EXPECT_EQ(entries2[1].size, 7);
  EXPECT_EQ(entries2[1].archive, 3);
  EXPECT_EQ(none2.Size(), 0);
  EXPECT_EQ(load.stream.error(), 0);
}

TEST(SerializeBin, LyingArrayCountReadsOnlyTheElementsTheDataHolds)
{
  Loader load(Int32Bytes(1000000000) + Int32Bytes(5) + Int32Bytes(6));
  AutoArray<std::int32_t> ints;
  load.stream.transfer(ints);
  ASSERT_EQ(ints.Size(), 2);
  EXPECT_EQ(ints[0], 5);
  EXPECT_EQ(ints[1], 6);
  EXPECT_LE(ints.MaxSize(), 4);

  CapturingFrame frame;
  Loader strings(Int32Bytes(0x7FFFFFFF) + std::string("x\0y\0", 4));
  AutoArray<RString> names;
  strings.stream.transfer(names);
  ASSERT_EQ(names.Size(), 2);
  EXPECT_EQ(names[1], "y");
}

TEST(SerializeBin, RecordCutOffByTheEndOfDataIsNotAdded)
{
  CapturingFrame frame;
  Loader load(Int32Bytes(2) + std::string("a.pbo\0", 6) + Int32Bytes(10) + "\x01" + std::string("b.pbo\0", 6) + "\x05");
  AutoArray<Entry> entries;
  load.stream.transfer(entries);
  ASSERT_EQ(entries.Size(), 1);
  EXPECT_EQ(entries[0].name, "a.pbo");
  EXPECT_EQ(entries[0].size, 10);
}

TEST(SerializeBin, NegativeArrayCountReadsNothing)
{
  Loader load(Int32Bytes(0xFFFFFFFF) + Int32Bytes(5));
  AutoArray<std::int32_t> ints;
  load.stream.transfer(ints);
  EXPECT_EQ(ints.Size(), 0);
}

TEST(SerializeBin, VersionIsWrittenAsMaximumAndCheckedOnReading)
{
  bool accepted = false;
  int versionAfter = 0;
  std::string bytes = Saved(
      [&](SerializeBinStream &s)
      {
        accepted = s.transferVersion(1, 3);
        versionAfter = s.version();
      });
  EXPECT_TRUE(accepted);
  EXPECT_EQ(versionAfter, 3);
  EXPECT_EQ(bytes, Int32Bytes(3));

  Loader load(bytes);
  EXPECT_TRUE(load.stream.transferVersion(1, 3));
  EXPECT_EQ(load.stream.version(), 3);

  Loader tooNew(Int32Bytes(4));
  EXPECT_FALSE(tooNew.stream.transferVersion(1, 3));
  EXPECT_EQ(tooNew.stream.version(), 4);

  Loader tooOld(Int32Bytes(0));
  EXPECT_FALSE(tooOld.stream.transferVersion(1, 3));
  EXPECT_EQ(tooOld.stream.version(), 0);
}

TEST(SerializeBin, RawBlocksAreStoredAsTheyAre)
{
  std::string data = Text(3000);
  std::string bytes = Saved([&](SerializeBinStream &s) { s.transferBlock(data.data(), 3000, false); });
  EXPECT_EQ(bytes, data);

  Loader load(bytes);
  std::string back(3000, '\0');
  load.stream.transferBlock(back.data(), 3000, false);
  EXPECT_EQ(back, data);
}

TEST(SerializeBin, BlocksOfNoBytesTransferNothing)
{
  char byte = 'q';
  EXPECT_EQ(Saved(
                [&](SerializeBinStream &s)
                {
                  s.transferBlock(&byte, 0, true);
                  s.transferBlock(&byte, -5, false);
                }),
            "");
  Loader load("zz");
  load.stream.transferBlock(&byte, 0, false);
  load.stream.skipBlock(-1, false);
  EXPECT_EQ(byte, 'q');
  EXPECT_EQ(load.in.tellg(), 0u);
}

TEST(SerializeBin, CompressibleBlockBelow1024BytesIsStoredRaw)
{
  std::string data = Text(1023);
  std::string bytes = Saved([&](SerializeBinStream &s) { s.transferBlock(data.data(), 1023, true); });
  EXPECT_EQ(bytes.size(), 1023u);
  EXPECT_EQ(bytes, data);

  Loader load(bytes);
  std::string back(1023, '\0');
  load.stream.transferBlock(back.data(), 1023, true);
  EXPECT_EQ(back, data);
}

TEST(SerializeBin, CompressibleBlockOf1024BytesIsPackedWithItsChecksum)
{
  std::string data = Text(1024);
  std::string bytes = Saved([&](SerializeBinStream &s) { s.transferBlock(data.data(), 1024, true); });
  ASSERT_GT(bytes.size(), 4u);
  EXPECT_LT(bytes.size(), data.size());
  EXPECT_EQ(bytes.substr(bytes.size() - 4), Int32Bytes(ByteSum(data)));

  std::string unpacked(1024, '\0');
  SSCompress codec;
  EXPECT_TRUE(codec.decode(unpacked.data(), 1024, bytes.data(), static_cast<long>(bytes.size())));
  EXPECT_EQ(unpacked, data);
}

TEST(SerializeBin, PackedBlockIsFollowedByTheNextValue)
{
  std::string data = Text(50000, 9);
  std::int32_t before = 17, after = -99;
  std::string bytes = Saved(
      [&](SerializeBinStream &s)
      {
        s.transfer(before);
        s.transferBlock(data.data(), static_cast<int>(data.size()), true);
        s.transfer(after);
      });

  Loader load(bytes);
  std::int32_t before2 = 0, after2 = 0;
  std::string back(data.size(), '\0');
  load.stream.transfer(before2);
  load.stream.transferBlock(back.data(), static_cast<int>(back.size()), true);
  load.stream.transfer(after2);
  EXPECT_EQ(before2, 17);
  EXPECT_EQ(back, data);
  EXPECT_EQ(after2, -99);
  EXPECT_EQ(load.stream.error(), 0);
}

TEST(SerializeBin, SkipBlockLandsOnTheNextValue)
{
  std::string raw = Text(1023, 2), packed = Text(4000, 3), plain = Text(5000, 4);
  std::int32_t one = 1, two = 2, three = 3;
  std::string bytes = Saved(
      [&](SerializeBinStream &s)
      {
        s.transferBlock(raw.data(), 1023, true);
        s.transfer(one);
        s.transferBlock(packed.data(), 4000, true);
        s.transfer(two);
        s.transferBlock(plain.data(), 5000, false);
        s.transfer(three);
      });

  CapturingFrame frame;
  Loader load(bytes);
  std::int32_t value = 0;
  load.stream.skipBlock(1023, true);
  load.stream.transfer(value);
  EXPECT_EQ(value, 1);
  load.stream.skipBlock(4000, true);
  load.stream.transfer(value);
  EXPECT_EQ(value, 2);
  load.stream.skipBlock(5000, false);
  load.stream.transfer(value);
  EXPECT_EQ(value, 3);
  EXPECT_EQ(load.stream.error(), 0);
  EXPECT_TRUE(frame.lines.empty());
}

TEST(SerializeBin, SkipBlockOnAnOutputStreamDoesNothing)
{
  EXPECT_EQ(Saved([](SerializeBinStream &s) { s.skipBlock(2000, true); }), "");
}

TEST(SerializeBin, DamagedPackedBlockWarnsSetsTheErrorAndReadingGoesOn)
{
  std::string data = Text(2048, 5);
  std::int32_t after = 4242;
  std::string bytes = Saved(
      [&](SerializeBinStream &s)
      {
        s.transferBlock(data.data(), 2048, true);
        s.transfer(after);
      });
  // The checksum is the four bytes before the trailing int.
  bytes[bytes.size() - 8] ^= 0x5A;

  CapturingFrame frame;
  Loader load(bytes);
  std::string back(2048, '\0');
  load.stream.transferBlock(back.data(), 2048, true);
  EXPECT_EQ(load.stream.error(), SerializeBinStream::EBadFileStructure);
  EXPECT_TRUE(frame.Contains("Error in SerializeBinStream decoding"));
  std::int32_t value = 0;
  load.stream.transfer(value);
  EXPECT_EQ(value, 4242);

  CapturingFrame skipFrame;
  Loader skip(bytes.substr(0, bytes.size() / 2));
  skip.stream.skipBlock(2048, true);
  EXPECT_EQ(skip.stream.error(), SerializeBinStream::EBadFileStructure);
  EXPECT_TRUE(skipFrame.Contains("Error in SerializeBinStream decoding"));
}

TEST(SerializeBin, PlaceholdersArePatchedWithAValueOrTheCurrentPosition)
{
  QFileSize first = 0, second = 0;
  std::string beforePatch;
  std::string bytes = Saved(
      [&](SerializeBinStream &s)
      {
        std::int32_t lead = 7;
        s.transfer(lead);
        first = s.reservePlaceholder();
        second = s.reservePlaceholder();
        RString name("body");
        s.transfer(name);
        EXPECT_EQ(s.tellp(), 17u);
        s.patch(first, 0x01020304);
        s.patchHere(second);
        // Patching leaves the write position where it was.
        EXPECT_EQ(s.tellp(), 17u);
        std::int32_t tail = -1;
        s.transfer(tail);
      });
  EXPECT_EQ(first, 4u);
  EXPECT_EQ(second, 8u);
  EXPECT_EQ(bytes, Int32Bytes(7) + Int32Bytes(0x01020304) + Int32Bytes(17) + std::string("body\0", 5) +
                       Int32Bytes(0xFFFFFFFF));

  std::string unpatched = Saved([](SerializeBinStream &s) { s.reservePlaceholder(); });
  EXPECT_EQ(unpatched, Int32Bytes(0xFFFFFFFF));
}

TEST(SerializeBin, SeekAndTellFollowTheStreamInItsDirection)
{
  std::string bytes = Saved(
      [](SerializeBinStream &s)
      {
        std::int32_t a = 1, b = 2, c = 3;
        s.transfer(a);
        s.transfer(b);
        s.seekp(0);
        s.transfer(c);
        EXPECT_EQ(s.tellp(), 4u);
      });
  EXPECT_EQ(bytes, Int32Bytes(3) + Int32Bytes(2));

  Loader load(bytes);
  load.stream.seekg(4);
  EXPECT_EQ(load.stream.tellg(), 4u);
  std::int32_t value = 0;
  load.stream.transfer(value);
  EXPECT_EQ(value, 2);
}

TEST(SerializeBin, WrongDirectionPositioningIsReportedAndIgnored)
{
  CapturingFrame frame;
  QOStrStream out;
  SerializeBinStream saving(&out);
  std::int32_t value = 5;
  saving.transfer(value);
  EXPECT_EQ(saving.tellg(), 0u);
  EXPECT_TRUE(frame.Contains("El/QStream/serializeBin("));
  EXPECT_TRUE(frame.Contains("Assertion failed 'File is not readable'"));
  saving.seekg(0);
  EXPECT_TRUE(frame.Contains("Assertion failed 'Cannot SeekG on output stream'"));
  EXPECT_EQ(out.tellp(), 4u);

  Loader load(Int32Bytes(1) + Int32Bytes(2));
  load.stream.transfer(value);
  EXPECT_EQ(load.stream.tellp(), 0u);
  EXPECT_TRUE(frame.Contains("Assertion failed 'File is not writeable'"));
  load.stream.seekp(0);
  EXPECT_TRUE(frame.Contains("Assertion failed 'Cannot SeekP on input stream'"));
  EXPECT_EQ(load.in.tellg(), 4u);
  EXPECT_EQ(frame.lines.size(), 4u);
  EXPECT_EQ(saving.error(), 0);
  EXPECT_EQ(load.stream.error(), 0);
}

TEST(SerializeBin, PatchingAnInputStreamIsReportedAndChangesNothing)
{
  CapturingFrame frame;
  Loader load(Int32Bytes(1));
  EXPECT_EQ(load.stream.reservePlaceholder(), 0u);
  load.stream.patch(0, 9);
  load.stream.patchHere(0);
  EXPECT_EQ(frame.lines.size(), 3u);
  EXPECT_EQ(load.in.tellg(), 0u);
  std::int32_t value = 0;
  load.stream.transfer(value);
  EXPECT_EQ(value, 1);
}

TEST(SerializeBin, ReadAheadIsPassedToTheInputOnly)
{
  std::string bytes(64, 'r');
  ReadAheadProbe probe(bytes.data(), 64);
  SerializeBinStream loading(&probe);
  loading.readAhead(48);
  EXPECT_EQ(probe.hinted, 48u);
  loading.readAhead(-3);
  EXPECT_EQ(probe.hinted, 48u);

  EXPECT_EQ(Saved([](SerializeBinStream &s) { s.readAhead(100); }), "");
}
