#include "El/QStream/qOStream.hpp"
#include "El/QStream/qStream.hpp"

#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
std::string Pattern(std::size_t size)
{
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 13 + i / 509) & 0xff);
  return bytes;
}

std::string ReadLine(QIStream &stream, int capacity = 256)
{
  std::string line(static_cast<std::size_t>(capacity), '\0');
  bool ended = stream.getLine(line.data(), capacity);
  line.resize(std::strlen(line.c_str()));
  return (ended ? "" : "<end>") + line;
}
} // namespace

TEST(QIStreamReading, ShortReadSetsEndAndFailThenNothingChanges)
{
  TempFolder folder;
  std::string name = folder.Write("four.bin", "abcd");
  QIFStream stream;
  stream.open(name.c_str());
  ASSERT_FALSE(stream.fail());
  char buffer[10];
  EXPECT_EQ(stream.read(buffer, 10), 4);
  EXPECT_EQ(std::string(buffer, 4), "abcd");
  EXPECT_TRUE(stream.eof());
  EXPECT_TRUE(stream.fail());
  EXPECT_EQ(stream.read(buffer, 10), 0);
  EXPECT_TRUE(stream.eof());
  EXPECT_TRUE(stream.fail());
  EXPECT_EQ(stream.tellg(), 4u);
}

TEST(QIStreamReading, ReadAtTheExactEndSetsOnlyEnd)
{
  QIStrStream stream("abcd", 4);
  char buffer[10];
  EXPECT_EQ(stream.read(buffer, 4), 4);
  EXPECT_FALSE(stream.eof());
  EXPECT_EQ(stream.read(buffer, 10), 0);
  EXPECT_TRUE(stream.eof());
  EXPECT_FALSE(stream.fail());
  EXPECT_EQ(stream.get(), -1);
  EXPECT_FALSE(stream.fail());
}

TEST(QIStreamReading, GetDeliversUnsignedBytesAcrossPages)
{
  TempFolder folder;
  std::string data = Pattern(20000);
  std::string name = folder.Write("data.bin", data);
  QIFStream stream;
  stream.open(name.c_str());
  std::string out;
  for (int c = stream.get(); c >= 0; c = stream.get())
    out.push_back(static_cast<char>(c));
  EXPECT_EQ(out, data);
  EXPECT_TRUE(stream.eof());
  EXPECT_FALSE(stream.fail());
}

TEST(QIStreamReading, OddSizedReadsReassembleTheFile)
{
  TempFolder folder;
  std::string data = Pattern(100000);
  std::string name = folder.Write("data.bin", data);
  QIFStream stream;
  stream.open(name.c_str());
  EXPECT_EQ(stream.Size(), 100000u);
  std::string out;
  char buffer[3001];
  for (int n; (n = stream.read(buffer, sizeof buffer)) > 0;)
    out.append(buffer, static_cast<std::size_t>(n));
  EXPECT_EQ(out, data);
}

TEST(QIStreamSeeking, InsideTheSegmentKeepsFlagsOutsideClearsThem)
{
  TempFolder folder;
  std::string data = Pattern(20000);
  std::string name = folder.Write("data.bin", data);
  QIFStream stream;
  stream.open(name.c_str());
  char buffer[30000];
  stream.read(buffer, sizeof buffer);
  ASSERT_TRUE(stream.eof());
  // The last page (16384..20000) is still the current segment.
  stream.seekg(17000);
  EXPECT_TRUE(stream.eof());
  EXPECT_EQ(stream.get(), static_cast<unsigned char>(data[17000]));
  stream.seekg(100);
  EXPECT_FALSE(stream.eof());
  EXPECT_FALSE(stream.fail());
  EXPECT_EQ(stream.tellg(), 100u);
  EXPECT_EQ(stream.get(), static_cast<unsigned char>(data[100]));
}

TEST(QIStreamSeeking, BeyondSizeLandsAtSize)
{
  QIStrStream stream("0123456789", 10);
  stream.seekg(1000);
  EXPECT_EQ(stream.tellg(), 10u);
  EXPECT_EQ(stream.get(), -1);
  stream.seekg(-3, QSeekOrigin::End);
  EXPECT_EQ(stream.get(), '7');
  stream.seekg(-2, QSeekOrigin::Current);
  EXPECT_EQ(stream.get(), '6');
  stream.seekg(-100, QSeekOrigin::Current);
  EXPECT_EQ(stream.tellg(), 0u);
  stream.seekg(4, QSeekOrigin::Begin);
  EXPECT_EQ(stream.get(), '4');
}

TEST(QIFStreamOpen, WholeFileReadsThroughTheFileBufferItself)
{
  TempFolder folder;
  std::string name = folder.Write("data.bin", Pattern(5000));
  QIFStream stream;
  stream.open(name.c_str(), 0, QFileSizeWhole);
  EXPECT_NE(dynamic_cast<FileBufferLoading *>(stream.GetSource()), nullptr);
  stream.open(name.c_str(), 0, 5000);
  EXPECT_NE(dynamic_cast<FileBufferLoading *>(stream.GetSource()), nullptr);
  stream.open(name.c_str(), 10, QFileSizeWhole);
  EXPECT_NE(dynamic_cast<FileBufferSub *>(stream.GetSource()), nullptr);
  EXPECT_EQ(stream.Size(), 4990u);
}

TEST(QIFStreamOpen, RegionReadsOnlyTheRegion)
{
  TempFolder folder;
  std::string data = Pattern(30000);
  std::string name = folder.Write("data.bin", data);
  QIFStream stream;
  stream.open(name.c_str(), 8000, 10000);
  std::string out(12000, '\0');
  EXPECT_EQ(stream.read(out.data(), 12000), 10000);
  EXPECT_EQ(out.substr(0, 10000), data.substr(8000, 10000));
}

TEST(QIFStreamOpen, MissingFileFailsWithSizeZero)
{
  TempFolder folder;
  QIFStream stream;
  stream.open(folder.File("missing.bin").c_str());
  EXPECT_TRUE(stream.fail());
  EXPECT_EQ(stream.Size(), 0u);
  EXPECT_TRUE(stream.GetSource()->HasError());
  char byte;
  EXPECT_EQ(stream.read(&byte, 1), 0);
  EXPECT_TRUE(stream.eof());
}

TEST(QIFStreamOpen, CopiesShareTheSourceAndPosition)
{
  TempFolder folder;
  std::string data = Pattern(9000);
  std::string name = folder.Write("data.bin", data);
  QIFStream stream;
  stream.open(name.c_str());
  char buffer[100];
  stream.read(buffer, 100);
  QIFStream copy(stream);
  EXPECT_EQ(copy.GetSource(), stream.GetSource());
  EXPECT_EQ(copy.tellg(), 100u);
  EXPECT_EQ(copy.get(), static_cast<unsigned char>(data[100]));
  EXPECT_EQ(stream.tellg(), 100u);
  copy.close();
  EXPECT_EQ(copy.Size(), 0u);
  EXPECT_EQ(stream.get(), static_cast<unsigned char>(data[100]));
}

TEST(QIStreamLines, EveryLineEndAndTheLoneCarriageReturnAtTheEnd)
{
  const char text[] = "one\r\ntwo\nthree\rfour\r\rsix\nabc\r";
  QIStrStream stream(text, sizeof text - 1);
  EXPECT_EQ(ReadLine(stream), "one");
  EXPECT_EQ(ReadLine(stream), "two");
  EXPECT_EQ(ReadLine(stream), "three");
  EXPECT_EQ(ReadLine(stream), "four");
  EXPECT_EQ(ReadLine(stream), "");
  EXPECT_EQ(ReadLine(stream), "six");
  EXPECT_EQ(ReadLine(stream), "abc");
  EXPECT_EQ(ReadLine(stream), "<end>");
}

TEST(QIStreamLines, UnterminatedLastLineReportsTheEnd)
{
  QIStrStream stream("first\nlast", 10);
  EXPECT_EQ(ReadLine(stream), "first");
  EXPECT_EQ(ReadLine(stream), "<end>last");
}

TEST(QIStreamLines, LongLinesAreCutAndTheRestSkipped)
{
  QIStrStream stream("abcdefghij\nnext\n", 16);
  EXPECT_EQ(ReadLine(stream, 5), "abcd");
  EXPECT_EQ(ReadLine(stream, 5), "next");
  char one[1];
  QIStrStream again("xyz\n", 4);
  EXPECT_TRUE(again.getLine(one, 1));
  EXPECT_EQ(one[0], '\0');
}

TEST(QIStreamLines, LineEndsSplitAcrossPages)
{
  // CR as the last byte of the first page, LF as the first of the second.
  std::string data(8191, 'a');
  data += "\r\nsecond\r";
  data += std::string(8192, 'b');
  data += "\nthird";
  TempFolder folder;
  std::string name = folder.Write("lines.txt", data);
  QIFStream stream;
  stream.open(name.c_str());
  EXPECT_EQ(ReadLine(stream, 9000), std::string(8191, 'a'));
  EXPECT_EQ(ReadLine(stream, 9000), "second");
  EXPECT_EQ(ReadLine(stream, 9000), std::string(8192, 'b'));
  EXPECT_EQ(ReadLine(stream, 9000), "<end>third");
}

TEST(QIStreamLines, SkipLine)
{
  QIStrStream stream("skip me\r\nkeep\rlast", 18);
  EXPECT_TRUE(stream.skipLine());
  EXPECT_EQ(ReadLine(stream), "keep");
  EXPECT_FALSE(stream.skipLine());
}

TEST(QIStreamCopy, CopiesTheRestIntoAnOutputStream)
{
  std::string data = Pattern(50000);
  QIStrStream stream(data.data(), static_cast<int>(data.size()));
  stream.seekg(1000);
  QOStrStream out;
  EXPECT_EQ(stream.copyTo(out), 49000u);
  EXPECT_EQ(std::string(out.str(), out.pcount()), data.substr(1000));
  // The last read came up short, as copying always ends.
  EXPECT_TRUE(stream.eof());
}

TEST(QIStrStreamSegments, ReadsCallerMemoryWithoutCopying)
{
  std::string data = "shared bytes";
  QIStrStream stream(data.data(), static_cast<int>(data.size()));
  EXPECT_EQ(stream.CurrentSegment().buffer->Data(), data.data());
  EXPECT_EQ(stream.Size(), data.size());
  StreamSegment lying;
  lying.buffer = new QIStreamBufferTemp(data.data(), 4);
  lying.length = 1000;
  QIStrStream clamped(lying);
  EXPECT_EQ(clamped.Size(), 4u);
  char out[10];
  EXPECT_EQ(clamped.read(out, 10), 4);
}

TEST(QIStreamReading, LargeReadsMixWithSmallOnesAndEndWithTheSameFlags)
{
  TempFolder folder;
  std::string data = Pattern(300000);
  std::string name = folder.Write("data.bin", data);
  QIFStream stream;
  stream.open(name.c_str(), 1000, 250000);
  std::string out(250000, '\0');
  // A small read fills a page; the large one empties it, then reads straight.
  ASSERT_EQ(stream.read(out.data(), 10), 10);
  ASSERT_EQ(stream.read(out.data() + 10, 100000), 100000);
  EXPECT_EQ(stream.tellg(), 100010u);
  EXPECT_EQ(stream.get(), static_cast<unsigned char>(data[1000 + 100010]));
  stream.seekg(100010);
  EXPECT_EQ(stream.read(out.data() + 100010, 200000), 149990);
  EXPECT_EQ(out, data.substr(1000, 250000));
  EXPECT_TRUE(stream.eof());
  EXPECT_TRUE(stream.fail());
  EXPECT_EQ(stream.tellg(), 250000u);

  std::vector<char> memory(data.begin(), data.end());
  Ref<FileBufferMemory> buffer = new FileBufferMemory(static_cast<QFileSize>(memory.size()));
  std::memcpy(buffer->DataLock(), memory.data(), memory.size());
  QIStreamDataSource inMemory;
  inMemory.attach(buffer.GetRef());
  std::string copy(300000, '\0');
  EXPECT_EQ(inMemory.read(copy.data(), 300000), 300000);
  EXPECT_EQ(copy, data);
  EXPECT_FALSE(inMemory.eof());
  EXPECT_EQ(inMemory.read(copy.data(), 70000), 0);
  EXPECT_TRUE(inMemory.eof());
  EXPECT_FALSE(inMemory.fail());
}

#ifndef _WIN32
// Windows does not let another handle cut a file this stream has open.
TEST(QIStreamReading, FileThatShrinksWhileOpenEndsEarlyWithoutHarm)
{
  TempFolder folder;
  std::string data = Pattern(40000);
  std::string name = folder.Write("shrinking.bin", data);
  for (int size : {100, 70000})
  {
    SCOPED_TRACE(size);
    folder.Write("shrinking.bin", data);
    QIFStream stream;
    stream.open(name.c_str());
    ASSERT_EQ(stream.Size(), 40000u);
    std::filesystem::resize_file(name, 5000);
    std::string out(40000, '\0');
    int got = 0;
    for (int n; (n = stream.read(out.data() + got, std::min(size, 40000 - got))) > 0;)
      got += n;
    EXPECT_EQ(got, 5000);
    EXPECT_EQ(out.substr(0, 5000), data.substr(0, 5000));
    EXPECT_TRUE(stream.eof());
  }
}
#endif
