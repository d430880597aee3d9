#include "El/QStream/fileBuffer.hpp"
#include "El/QStream/qOStream.hpp"
#include "El/QStream/qStream.hpp"
#include "El/QStream/ssCompress.hpp"

#include "tests/support/capturingFrame.hpp"
#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
std::string Pattern(std::size_t size)
{
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
  return bytes;
}

std::string ReadAll(IFileBuffer *buffer)
{
  std::string bytes(buffer->Size(), '\0');
  bytes.resize(buffer->ReadAt(bytes.data(), 0, buffer->Size()));
  return bytes;
}

// Records the preload calls the buffers make, otherwise the default server.
class PreloadRecorder : public QIFileServerFunctions
{
public:
  PreloadRecorder() { _previous = SetFileServerFunctions(this); }
  ~PreloadRecorder() override { SetFileServerFunctions(_previous); }

  bool Preload(IPreloadRequestor *requestor, void *argument, int third, QFileHandle handle, QFileSize position,
               QFileSize length) override
  {
    calls.push_back({position, length});
    return QIFileServerFunctions::Preload(requestor, argument, third, handle, position, length);
  }

  std::vector<std::pair<QFileSize, QFileSize>> calls;

private:
  QIFileServerFunctions *_previous;
};
} // namespace

TEST(FileBufferMemorySegments, CopiesOf4096BytesAndEmptyAtTheEnd)
{
  std::string data = Pattern(10000);
  Ref<IFileBuffer> buffer = new FileBufferFromMemory(data.data(), 10000);
  StreamSegment segment;
  buffer->SegmentAt(segment, 0);
  EXPECT_EQ(segment.start, 0u);
  EXPECT_EQ(segment.length, 4096u);
  EXPECT_NE(segment.buffer->Data(), data.data());
  buffer->SegmentAt(segment, 9000);
  EXPECT_EQ(segment.start, 9000u);
  EXPECT_EQ(segment.length, 1000u);
  EXPECT_EQ(std::string(segment.buffer->Data(), 1000), data.substr(9000));
  buffer->SegmentAt(segment, 10000);
  ASSERT_TRUE(segment.buffer);
  EXPECT_EQ(segment.length, 0u);
  buffer->SegmentAt(segment, 0xFFFFFFF0u);
  EXPECT_EQ(segment.length, 0u);
}

TEST(FileBufferReadAt, WalksSegmentsAndStopsAtTheEnd)
{
  std::string data = Pattern(10000);
  Ref<IFileBuffer> buffer = new FileBufferFromMemory(data.data(), 10000);
  std::string out(6000, 'x');
  EXPECT_EQ(buffer->ReadAt(out.data(), 3000, 6000), 6000u);
  EXPECT_EQ(out, data.substr(3000, 6000));
  EXPECT_EQ(buffer->ReadAt(out.data(), 8000, 6000), 2000u);
  EXPECT_EQ(out.substr(0, 2000), data.substr(8000));
  EXPECT_EQ(buffer->ReadAt(out.data(), 10000, 10), 0u);
  EXPECT_EQ(buffer->ReadAt(nullptr, 0, 0), 0u);
}

TEST(FileBufferSubWindow, StartPastTheEndIsEmpty)
{
  std::string data = Pattern(100);
  Ref<IFileBuffer> base = new FileBufferFromMemory(data.data(), 100);
  Ref<FileBufferSub> window = new FileBufferSub(base.GetRef(), 500, 10);
  EXPECT_EQ(window->Start(), 100u);
  EXPECT_EQ(window->Size(), 0u);
  char byte;
  EXPECT_EQ(window->ReadAt(&byte, 0, 1), 0u);
}

TEST(FileBufferSubWindow, LengthPastTheEndIsCutToTheRest)
{
  std::string data = Pattern(100);
  Ref<IFileBuffer> base = new FileBufferFromMemory(data.data(), 100);
  Ref<FileBufferSub> window = new FileBufferSub(base.GetRef(), 60, 0xFFFFFFFEu);
  EXPECT_EQ(window->Size(), 40u);
  EXPECT_EQ(ReadAll(window.GetRef()), data.substr(60));
  EXPECT_EQ(window->Data(), base->Data() + 60);
}

TEST(FileBufferSubWindow, SegmentsAreTranslatedAndCutAtTheWindow)
{
  // The window starts inside the base's second 4 KiB segment and ends
  // inside its second: the first segment it hands out begins before it.
  std::string data = Pattern(20000);
  Ref<IFileBuffer> base = new FileBufferFromMemory(data.data(), 20000);
  Ref<FileBufferSub> window = new FileBufferSub(base.GetRef(), 5000, 7000);
  EXPECT_EQ(ReadAll(window.GetRef()), data.substr(5000, 7000));

  QIStreamDataSource stream;
  stream.attach(window.GetRef());
  std::string out(8000, '\0');
  EXPECT_EQ(stream.read(out.data(), 8000), 7000);
  EXPECT_EQ(out.substr(0, 7000), data.substr(5000, 7000));
  EXPECT_TRUE(stream.eof());
  stream.seekg(1234);
  EXPECT_EQ(stream.get(), static_cast<unsigned char>(data[5000 + 1234]));
}

TEST(FileBufferSubWindow, AWindowOntoAWindowOfAFileReadsItsOwnBytes)
{
  // A member inside a bank appended to a file: the file's pages begin before
  // the bank, and so before the member too.
  TempFolder folder;
  std::string data = Pattern(60000);
  std::string name = folder.Write("host.bin", data);
  Ref<IFileBuffer> file = new FileBufferLoading(name.c_str());
  Ref<FileBufferSub> bank = new FileBufferSub(file.GetRef(), 3000, 50000);
  Ref<FileBufferSub> member = new FileBufferSub(bank.GetRef(), 1001, 25000);
  QIStreamDataSource stream;
  stream.attach(member.GetRef());
  std::string out(30000, '\0');
  for (int i = 0; i < 25000; ++i)
    out[static_cast<std::size_t>(i)] = static_cast<char>(stream.get());
  EXPECT_EQ(out.substr(0, 25000), data.substr(4001, 25000));
  EXPECT_EQ(stream.get(), -1);
}

TEST(FileBufferSubWindow, RequestsAndReadAheadAreTranslatedAndClamped)
{
  TempFolder folder;
  std::string name = folder.Write("data.bin", Pattern(200000));
  PreloadRecorder server;
  Ref<IFileBuffer> file = new FileBufferLoading(name.c_str());
  Ref<FileBufferSub> window = new FileBufferSub(file.GetRef(), 1000, 50000);
  EXPECT_TRUE(window->Request(nullptr, nullptr, 0, 10, 100000));
  window->ReadAhead(49000, 5000);
  ASSERT_EQ(server.calls.size(), 2u);
  EXPECT_EQ(server.calls[0], (std::pair<QFileSize, QFileSize>(1010, 49990)));
  EXPECT_EQ(server.calls[1], (std::pair<QFileSize, QFileSize>(50000, 1000)));
}

TEST(FileBufferLoadingPages, ReadAheadGoesOutIn32KiBChunks)
{
  TempFolder folder;
  std::string name = folder.Write("data.bin", Pattern(100000));
  PreloadRecorder server;
  Ref<IFileBuffer> file = new FileBufferLoading(name.c_str());
  file->ReadAhead(1000, 80000);
  std::vector<std::pair<QFileSize, QFileSize>> expected = {{1000, 32768}, {33768, 32768}, {66536, 14464}};
  EXPECT_EQ(server.calls, expected);
  server.calls.clear();
  file->ReadAhead(99000, 80000);
  expected = {{99000, 1000}};
  EXPECT_EQ(server.calls, expected);
}

TEST(FileBufferLoadingPages, SegmentsArePageAlignedAndTheLastPageServesPastTheEnd)
{
  TempFolder folder;
  for (std::size_t size : {0u, 1u, 8191u, 8192u, 8193u, 16384u, 20000u})
  {
    SCOPED_TRACE(size);
    std::string data = Pattern(size);
    std::string name = folder.Write("file" + std::to_string(size), data);
    Ref<IFileBuffer> file = new FileBufferLoading(name.c_str());
    ASSERT_FALSE(file->HasError());
    ASSERT_EQ(file->Size(), size);
    EXPECT_EQ(ReadAll(file.GetRef()), data);

    StreamSegment segment;
    file->SegmentAt(segment, 8200);
    if (size > 8192)
    {
      EXPECT_EQ(segment.start, 8192u);
      EXPECT_EQ(segment.length, std::min<std::size_t>(size - 8192, 8192));
    }
    // At or past the end: the last page, or nothing when the size is a
    // multiple of the page size.
    file->SegmentAt(segment, static_cast<QFileSize>(size) + 100);
    EXPECT_EQ(segment.start, size / 8192 * 8192);
    EXPECT_EQ(segment.length, size % 8192);
    EXPECT_FALSE(segment.Covers(size + 100));
  }
}

TEST(FileBufferLoadingPages, IsNotMemoryResident)
{
  TempFolder folder;
  std::string name = folder.Write("data.bin", "abc");
  Ref<IFileBuffer> file = new FileBufferLoading(name.c_str());
  CapturingFrame frame;
  EXPECT_EQ(file->Data(), nullptr);
  ASSERT_EQ(frame.lines.size(), 1u);
  EXPECT_NE(frame.lines[0].find("Assertion failed 'Cannot return data'"), std::string::npos);
  EXPECT_NE(file->OsHandle(), 0);
}

TEST(FileBufferLoadingPages, MissingFileHasError)
{
  TempFolder folder;
  Ref<IFileBuffer> file = new FileBufferLoading(folder.File("missing.bin").c_str());
  EXPECT_TRUE(file->HasError());
  EXPECT_EQ(file->Size(), 0u);
  StreamSegment segment;
  file->SegmentAt(segment, 0);
  EXPECT_EQ(segment.length, 0u);
}

TEST(FileBufferLoadedRegion, ReadsTheRegionIntoMemory)
{
  TempFolder folder;
  std::string data = Pattern(30000);
  std::string name = folder.Write("data.bin", data);
  Ref<IFileBuffer> region = new FileBufferLoaded(name.c_str(), 100, 20000);
  ASSERT_NE(region->Data(), nullptr);
  EXPECT_EQ(std::string(region->Data(), region->Size()), data.substr(100, 20000));
  Ref<IFileBuffer> tail = new FileBufferLoaded(name.c_str(), 29000, 0xFFFFFFFEu);
  EXPECT_EQ(tail->Size(), 1000u);
  Ref<IFileBuffer> beyond = new FileBufferLoaded(name.c_str(), 40000, 10);
  EXPECT_EQ(beyond->Size(), 0u);
  Ref<IFileBuffer> missing = new FileBufferLoaded(folder.File("missing").c_str(), 0, 10);
  EXPECT_EQ(missing->Size(), 0u);
  EXPECT_FALSE(missing->HasError());
}

TEST(FileBufferError, HasNoDataAndEmptySegments)
{
  Ref<IFileBuffer> error = new FileBufferError();
  EXPECT_TRUE(error->HasError());
  EXPECT_EQ(error->Data(), nullptr);
  EXPECT_EQ(error->Size(), 0u);
  EXPECT_TRUE(error->Request(nullptr, nullptr, 0, 0, 10));
  StreamSegment segment;
  error->SegmentAt(segment, 5);
  EXPECT_EQ(segment.start, 5u);
  EXPECT_EQ(segment.length, 0u);
}

TEST(FileBufferUncompressed, HoldsWhatTheDecoderProducedOrNothing)
{
  std::string data = Pattern(5000);
  QIStrStream source(data.data(), 5000);
  QOStrStream packing;
  SSCompress().encode(packing, source);
  std::string packed(packing.str(), packing.pcount());

  QIStrStream stream(packed.data(), static_cast<int>(packed.size()));
  Ref<IFileBuffer> unpacked = new FileBufferUncompressed(5000, stream);
  EXPECT_EQ(std::string(unpacked->Data(), unpacked->Size()), data);

  CapturingFrame frame;
  QIStrStream shortStream(packed.data(), static_cast<int>(packed.size()) - 5);
  Ref<IFileBuffer> truncated = new FileBufferUncompressed(5000, shortStream);
  EXPECT_EQ(truncated->Size(), 0u);
  EXPECT_FALSE(truncated->HasError());
  EXPECT_TRUE(frame.Contains("LZW"));

  std::string damaged = packed;
  damaged.back() = static_cast<char>(damaged.back() ^ 0x10);
  QIStrStream damagedStream(damaged.data(), static_cast<int>(damaged.size()));
  Ref<IFileBuffer> badChecksum = new FileBufferUncompressed(5000, damagedStream);
  EXPECT_EQ(badChecksum->Size(), 0u);
  EXPECT_EQ(badChecksum->Data(), nullptr);
  EXPECT_TRUE(frame.Contains("Checksum"));
}
