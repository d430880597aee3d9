#include "El/QStream/qOStream.hpp"

#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace
{
std::string Pattern(std::size_t size, int seed)
{
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 97 + i / 509 + static_cast<std::size_t>(seed)) & 0xff);
  return bytes;
}

QFileSize Write(QOStream &out, const std::string &bytes)
{
  return out.write(bytes.data(), static_cast<QFileSize>(bytes.size()));
}

std::uintmax_t SizeOnDisk(const std::string &name) { return std::filesystem::file_size(name); }
} // namespace

TEST(QOFStream, LargeWriteFlushesFullBuffersAndKeepsTheRestUntilClose)
{
  TempFolder folder;
  std::string name = folder.File("large.bin");
  std::string bytes = Pattern(100000, 1);
  QOFStream out(name.c_str());
  ASSERT_FALSE(out.Failed());
  EXPECT_TRUE(out.IsOpen());
  EXPECT_EQ(Write(out, bytes), 100000u);
  EXPECT_EQ(out.tellp(), 100000u);
  EXPECT_EQ(SizeOnDisk(name), 65536u);
  EXPECT_EQ(out.Close(), 0);
  EXPECT_FALSE(out.IsOpen());
  EXPECT_EQ(TempFolder::Read(name), bytes);
}

TEST(QOFStream, PutAcrossTheBufferBoundaryFlushesOneBuffer)
{
  TempFolder folder;
  std::string name = folder.File("put.bin");
  std::string bytes = Pattern(65536 + 10, 2);
  QOFStream out(name.c_str());
  for (std::size_t i = 0; i < 65536; ++i)
    out.put(bytes[i]);
  EXPECT_EQ(SizeOnDisk(name), 0u);
  for (std::size_t i = 65536; i < bytes.size(); ++i)
    out.put(bytes[i]);
  EXPECT_EQ(SizeOnDisk(name), 65536u);
  EXPECT_EQ(out.tellp(), bytes.size());
  EXPECT_EQ(out.Close(), 0);
  EXPECT_EQ(TempFolder::Read(name), bytes);
}

TEST(QOFStream, SeekInsideTheBufferOverwritesAndKeepsTheRest)
{
  TempFolder folder;
  std::string name = folder.File("inside.bin");
  QOFStream out(name.c_str());
  Write(out, "abcdefgh");
  out.SeekP(2);
  EXPECT_EQ(out.tellp(), 2u);
  Write(out, "XY");
  // The flush writes every valid byte and leaves the file pointer at the
  // write offset, so the next byte lands after "XY".
  out.Flush(0);
  EXPECT_EQ(out.tellp(), 4u);
  Write(out, "Z");
  EXPECT_EQ(out.Close(), 0);
  EXPECT_EQ(TempFolder::Read(name), "abXYZfgh");
}

TEST(QOFStream, SeekOutsideTheBufferFlushesAndWritesAtTheNewPosition)
{
  TempFolder folder;
  std::string name = folder.File("outside.bin");
  QOFStream out(name.c_str());
  Write(out, "0123456789");
  out.Flush(0);
  out.SeekP(20);
  EXPECT_EQ(out.tellp(), 20u);
  Write(out, "AB");
  out.SeekP(2);
  EXPECT_EQ(SizeOnDisk(name), 22u);
  Write(out, "xy");
  EXPECT_EQ(out.tellp(), 4u);
  EXPECT_EQ(out.Close(), 0);
  EXPECT_EQ(TempFolder::Read(name), std::string("01xy456789") + std::string(10, '\0') + "AB");
}

TEST(QOFStream, AppendCountsPositionsFromTheStartOfTheFile)
{
  TempFolder folder;
  std::string name = folder.Write("append.txt", "abc");
  QOFStream out;
  out.openForAppend(name.c_str());
  ASSERT_FALSE(out.Failed());
  EXPECT_EQ(out.tellp(), 3u);
  EXPECT_EQ(Write(out, "def"), 6u);
  out.SeekP(0);
  out.put('A');
  EXPECT_EQ(out.Close(), 0);
  EXPECT_EQ(TempFolder::Read(name), "Abcdef");
}

TEST(QOFStream, ForwardSlashesInTheNameReachTheSubfolder)
{
  TempFolder folder;
  std::filesystem::create_directory(folder.Path() / "dir");
  std::string name = folder.Path().string() + "/dir/name.bin";
  QOFStream out(name.c_str());
  ASSERT_FALSE(out.Failed());
  Write(out, "slashes");
  EXPECT_EQ(out.Close(), 0);
  EXPECT_EQ(TempFolder::Read((folder.Path() / "dir" / "name.bin").string()), "slashes");
#ifdef _WIN32
  EXPECT_TRUE(std::filesystem::exists(folder.Path().string() + "\\dir\\name.bin"));
#endif
}

TEST(QOFStream, OpenIntoAMissingFolderFailsAndWritesNothing)
{
  TempFolder folder;
  std::string name = (folder.Path() / "no-such-folder" / "file.bin").string();
  QOFStream out(name.c_str());
  EXPECT_TRUE(out.Failed());
  EXPECT_FALSE(out.IsOpen());
#ifdef _WIN32
  // ERROR_PATH_NOT_FOUND, which the table does not name.
  EXPECT_EQ(out.error(), LSUnknownError);
#else
  EXPECT_EQ(out.error(), LSFileNotFound);
#endif
  Write(out, Pattern(70000, 3));
  out.put('x');
  out.SeekP(5);
  EXPECT_TRUE(out.Failed());
  EXPECT_EQ(out.Close(), 0);
  EXPECT_TRUE(out.Failed());
  EXPECT_FALSE(std::filesystem::exists(folder.Path() / "no-such-folder"));
}

TEST(QOFStream, ReopeningClosesTheFirstFileWithItsBytes)
{
  TempFolder folder;
  std::string first = folder.File("first.bin");
  std::string second = folder.File("second.bin");
  QOFStream out(first.c_str());
  Write(out, "one");
  out.open(second.c_str());
  EXPECT_EQ(TempFolder::Read(first), "one");
  EXPECT_EQ(out.tellp(), 0u);
  Write(out, "two");
  EXPECT_EQ(out.Close(), 0);
  EXPECT_EQ(out.Close(), 0);
  EXPECT_EQ(TempFolder::Read(second), "two");
}

TEST(QOFStream, DestructionFlushesAndCloses)
{
  TempFolder folder;
  std::string name = folder.File("scoped.bin");
  {
    QOFStream out(name.c_str());
    Write(out, "kept");
  }
  EXPECT_EQ(TempFolder::Read(name), "kept");
}

#ifndef _WIN32
TEST(QOFStream, FailedWriteStaysFailedUntilTheNextOpen)
{
  QOFStream out("/dev/full");
  ASSERT_FALSE(out.Failed());
  Write(out, Pattern(100000, 4));
  // ENOSPC is ERROR_HANDLE_DISK_FULL, which the table reads as LSNoFile.
  EXPECT_TRUE(out.Failed());
  EXPECT_EQ(out.error(), LSNoFile);
  Write(out, Pattern(100000, 5));
  out.SeekP(0);
  EXPECT_TRUE(out.Failed());
  EXPECT_EQ(out.Close(), LSNoFile);
  EXPECT_TRUE(out.Failed());
  EXPECT_EQ(out.error(), LSNoFile);

  TempFolder folder;
  std::string name = folder.File("after.bin");
  out.open(name.c_str());
  EXPECT_FALSE(out.Failed());
  EXPECT_EQ(out.error(), LSOK);
  Write(out, "fine");
  EXPECT_EQ(out.Close(), 0);
  EXPECT_EQ(TempFolder::Read(name), "fine");
}

TEST(QOFStream, FailureFoundOnlyAtCloseIsReported)
{
  QOFStream out("/dev/full");
  Write(out, "small");
  EXPECT_FALSE(out.Failed());
  EXPECT_EQ(out.Close(), LSNoFile);
  EXPECT_TRUE(out.Failed());
}
#endif

TEST(QOStrStream, LargeWriteDoublesTheBuffer)
{
  QOStrStream out;
  EXPECT_EQ(out.Capacity(), 65536);
  std::string bytes = Pattern(100000, 6);
  EXPECT_EQ(Write(out, bytes), 100000u);
  EXPECT_EQ(out.Capacity(), 131072);
  EXPECT_EQ(out.pcount(), 100000u);
  EXPECT_EQ(std::string(out.str(), out.pcount()), bytes);
}

TEST(QOStrStream, PutAcrossTheBufferBoundaryKeepsEveryByte)
{
  QOStrStream out;
  std::string bytes = Pattern(65536 + 3, 7);
  for (char c : bytes)
    out.put(c);
  EXPECT_EQ(out.Capacity(), 131072);
  EXPECT_EQ(out.pcount(), bytes.size());
  EXPECT_EQ(std::string(out.str(), out.pcount()), bytes);
}

TEST(QOStrStream, SeekOverwritesAndStopsAtTheEndWritten)
{
  QOStrStream out;
  Write(out, "hello world");
  out.SeekP(6);
  Write(out, "WORLD");
  EXPECT_EQ(std::string(out.str(), out.pcount()), "hello WORLD");
  out.SeekP(2);
  out.put('L');
  EXPECT_EQ(out.pcount(), 11u);
  out.SeekP(500);
  EXPECT_EQ(out.tellp(), 11u);
  out.put('!');
  EXPECT_EQ(std::string(out.str(), out.pcount()), "heLlo WORLD!");
}

TEST(QOStrStream, GrowingAfterASeekBackKeepsBytesPastTheWritePosition)
{
  QOStrStream out;
  std::string bytes = Pattern(60000, 8);
  Write(out, bytes);
  out.SeekP(10);
  std::string patch = Pattern(70000, 9);
  Write(out, patch);
  EXPECT_EQ(out.pcount(), 70010u);
  EXPECT_EQ(std::string(out.str(), out.pcount()), bytes.substr(0, 10) + patch);

  out.SeekP(5);
  std::string longer = Pattern(200000, 10);
  EXPECT_EQ(Write(out, longer), 200005u);
  EXPECT_EQ(out.Capacity(), 262144);
  EXPECT_EQ(std::string(out.str(), 5), bytes.substr(0, 5));
}

TEST(QOStrStream, RewindStartsAgainWithTheSameBuffer)
{
  QOStrStream out;
  Write(out, Pattern(70000, 11));
  out.rewind();
  EXPECT_EQ(out.tellp(), 0u);
  EXPECT_EQ(out.pcount(), 0u);
  EXPECT_EQ(out.Capacity(), 131072);
  Write(out, "abc");
  EXPECT_EQ(std::string(out.str(), out.pcount()), "abc");
}
