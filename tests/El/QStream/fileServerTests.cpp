#include "El/QStream/fileServer.hpp"
#include "El/QStream/lsError.hpp"

#include "tests/support/capturingFrame.hpp"
#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#ifndef _WIN32
#include <cerrno>
#include <unistd.h>
#endif

namespace
{
std::string Pattern(std::size_t size, int seed)
{
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 131 + i / 251 + static_cast<std::size_t>(seed)) & 0xff);
  return bytes;
}

QIFileServerFunctions &Server() { return *GFileServerFunctions; }

std::string SegmentBytes(const StreamSegment &segment) { return std::string(segment.buffer->Data(), segment.length); }

struct RecordingRequestor final : IPreloadRequestor
{
  void RequestDone(void *argument, int reason) override
  {
    ++calls;
    lastArgument = argument;
    lastReason = reason;
  }
  int calls = 0;
  void *lastArgument = nullptr;
  int lastReason = -1;
};
} // namespace

TEST(LSErrorText, EveryTableCodeHasItsText)
{
  CapturingFrame frame;
  EXPECT_STREQ(LSErrorText(0), "No error");
  EXPECT_STREQ(LSErrorText(1), "No such file");
  EXPECT_STREQ(LSErrorText(2), "Bad file (CRC, ...)");
  EXPECT_STREQ(LSErrorText(3), "Bad file structure");
  EXPECT_STREQ(LSErrorText(4), "Unsupported format");
  EXPECT_STREQ(LSErrorText(5), "Version is too new");
  EXPECT_STREQ(LSErrorText(6), "Version is too old");
  EXPECT_STREQ(LSErrorText(7), "No such file");
  EXPECT_STREQ(LSErrorText(8), "Access denied");
  EXPECT_STREQ(LSErrorText(9), "Disk error");
  EXPECT_STREQ(LSErrorText(10), "No entry");
  EXPECT_STREQ(LSErrorText(12), "Unknown error");
  EXPECT_TRUE(frame.lines.empty());
}

TEST(LSErrorText, CodeOutsideTableIsReportedAndReadsAsUnknown)
{
  for (int code : {11, 99, -1})
  {
    CapturingFrame frame;
    EXPECT_STREQ(LSErrorText(code), "Unknown error") << code;
    ASSERT_EQ(frame.lines.size(), 1u) << code;
    EXPECT_EQ(frame.lines[0].rfind("El/QStream/qStream(", 0), 0u) << frame.lines[0];
    EXPECT_TRUE(frame.Contains(") : Assertion failed 'LSError'")) << frame.lines[0];
  }
}

TEST(LSErrorFromSystemError, MapsWindowsErrorNumbers)
{
  EXPECT_EQ(LSErrorFromSystemError(0), LSOK);
  EXPECT_EQ(LSErrorFromSystemError(2), LSFileNotFound);
  for (unsigned long denied : {5ul, 19ul, 32ul, 33ul, 65ul})
    EXPECT_EQ(LSErrorFromSystemError(denied), LSAccessDenied) << denied;
  for (unsigned long disk : {23ul, 29ul, 30ul})
    EXPECT_EQ(LSErrorFromSystemError(disk), LSDiskError) << disk;
  EXPECT_EQ(LSErrorFromSystemError(39), LSNoFile);
  for (unsigned long other : {1ul, 3ul, 6ul, 31ul, 112ul, 183ul, 0xfffffffful})
    EXPECT_EQ(LSErrorFromSystemError(other), LSUnknownError) << other;
}

TEST(FileServerDefaults, SimpleSlotsAnswerTheirFixedValues)
{
  EXPECT_TRUE(Server().FlushReadHandle("anything"));
  EXPECT_EQ(Server().PageSize(), 8192);
  EXPECT_FALSE(Server().IsValid(0));
  EXPECT_FALSE(Server().IsValid(-1));
  EXPECT_TRUE(Server().IsValid(3));
  EXPECT_EQ(Server().WinHandle(0x1234), 0x1234);
  EXPECT_STREQ(Server().HandleName(0x1a2b).Data(), "Handle 1a2b");
  EXPECT_STREQ(Server().HandleName(-1).Data(), "Handle ffffffff");
}

TEST(FileServerDefaults, PreloadTellsTheRequestorAtOnce)
{
  RecordingRequestor requestor;
  int argument = 0;
  EXPECT_TRUE(Server().Preload(&requestor, &argument, 7, 5, 100, 200));
  EXPECT_EQ(requestor.calls, 1);
  EXPECT_EQ(requestor.lastArgument, &argument);
  EXPECT_EQ(requestor.lastReason, 0);
  EXPECT_TRUE(Server().Preload(nullptr, &argument, 0, 5, 0, 0));
}

TEST(FileServerDefaults, InstalledServerIsUsedAndNullRestoresDefault)
{
  struct CountingServer : QIFileServerFunctions
  {
    QFileHandle OpenRead(const char *) override
    {
      ++opens;
      return -1;
    }
    int opens = 0;
  } counting;
  QIFileServerFunctions *original = SetFileServerFunctions(&counting);
  EXPECT_EQ(GFileServerFunctions, &counting);
  EXPECT_FALSE(QFileExists("whatever"));
  EXPECT_EQ(counting.opens, 1);
  EXPECT_EQ(SetFileServerFunctions(nullptr), &counting);
  EXPECT_EQ(GFileServerFunctions, original);
}

TEST(FileServerFiles, MissingFileDoesNotOpenAndReportsNotFound)
{
  TempFolder folder;
  QFileHandle handle = Server().OpenRead(folder.File("missing.bin").c_str());
  EXPECT_FALSE(Server().IsValid(handle));
  EXPECT_EQ(LSErrorFromSystemError(QIFileServerFunctions::LastError()), LSFileNotFound);
}

TEST(FileServerFiles, DirectoryDoesNotOpenForReading)
{
  TempFolder folder;
  EXPECT_FALSE(Server().IsValid(Server().OpenRead(folder.Path().string().c_str())));
  EXPECT_FALSE(QFileExists(folder.Path().string().c_str()));
}

TEST(FileServerFiles, SizeAndTimeOfAnOpenFile)
{
  TempFolder folder;
  std::int64_t before = static_cast<std::int64_t>(std::time(nullptr));
  std::string name = folder.Write("sized.bin", Pattern(1234, 1));
  std::int64_t after = static_cast<std::int64_t>(std::time(nullptr));

  QFileHandle handle = Server().OpenRead(name.c_str());
  ASSERT_TRUE(Server().IsValid(handle));
  EXPECT_EQ(Server().FileSize(handle), 1234u);
  std::int64_t written = Server().FileTime(handle);
  EXPECT_GE(written, before - 2);
  EXPECT_LE(written, after + 2);
  Server().CloseRead(name.c_str(), handle);

  // Moving the time back five hours moves the answer by as many seconds.
  auto stamp = std::filesystem::last_write_time(name);
  std::filesystem::last_write_time(name, stamp - std::chrono::hours(5));
  std::int64_t moved = QFileTimeOf(name.c_str());
  EXPECT_NEAR(static_cast<double>(written - moved), 5 * 3600.0, 2.0);
}

TEST(FileServerFiles, ReadPageAnswersTheBytesActuallyRead)
{
  TempFolder folder;
  std::string bytes = Pattern(20000, 2);
  std::string name = folder.Write("pages.bin", bytes);
  QFileHandle handle = Server().OpenRead(name.c_str());
  ASSERT_TRUE(Server().IsValid(handle));

  StreamSegment first = Server().ReadPage(handle, 0, 8192);
  EXPECT_EQ(first.start, 0u);
  ASSERT_EQ(first.length, 8192u);
  EXPECT_EQ(SegmentBytes(first), bytes.substr(0, 8192));

  StreamSegment middle = Server().ReadPage(handle, 10000, 300);
  EXPECT_EQ(middle.start, 10000u);
  ASSERT_EQ(middle.length, 300u);
  EXPECT_EQ(SegmentBytes(middle), bytes.substr(10000, 300));

  StreamSegment tail = Server().ReadPage(handle, 19990, 100);
  ASSERT_EQ(tail.length, 10u);
  EXPECT_EQ(SegmentBytes(tail), bytes.substr(19990));

  StreamSegment clamped = Server().ReadPage(handle, 100, 50000);
  ASSERT_EQ(clamped.length, 8192u);
  EXPECT_EQ(SegmentBytes(clamped), bytes.substr(100, 8192));

  EXPECT_EQ(Server().ReadPage(handle, 20000, 100).length, 0u);
  EXPECT_EQ(Server().ReadPage(handle, 50000, 100).length, 0u);
  Server().CloseRead(name.c_str(), handle);
}

TEST(FileServerFiles, WriteSeekAndReadThroughRawHandles)
{
  TempFolder folder;
  std::string name = folder.File("raw.bin");
  QFileHandle out = Server().OpenWrite(name.c_str());
  ASSERT_TRUE(Server().IsValid(out));
  EXPECT_EQ(QIFileServerFunctions::WriteHandle(out, "abcdefgh", 8), 8u);
  EXPECT_TRUE(QIFileServerFunctions::SeekHandle(out, 2));
  EXPECT_EQ(QIFileServerFunctions::WriteHandle(out, "XY", 2), 2u);
  EXPECT_TRUE(QIFileServerFunctions::CloseHandle(out));

  QFileHandle in = Server().OpenRead(name.c_str());
  ASSERT_TRUE(Server().IsValid(in));
  char data[16] = {};
  EXPECT_TRUE(QIFileServerFunctions::SeekHandle(in, 1));
  EXPECT_EQ(QIFileServerFunctions::ReadHandle(in, data, sizeof data), 7u);
  EXPECT_EQ(std::string(data, 7), "bXYefgh");
  Server().CloseRead(name.c_str(), in);
}

TEST(FileServerFiles, OpenWriteTruncatesAndOpenAppendStartsAtTheEnd)
{
  TempFolder folder;
  std::string name = folder.Write("log.txt", "old content");
  QFileHandle out = Server().OpenWrite(name.c_str());
  ASSERT_TRUE(Server().IsValid(out));
  EXPECT_EQ(Server().FileSize(out), 0u);
  QIFileServerFunctions::WriteHandle(out, "abc", 3);
  QIFileServerFunctions::CloseHandle(out);

  QFileHandle append = Server().OpenAppend(name.c_str());
  ASSERT_TRUE(Server().IsValid(append));
  QIFileServerFunctions::WriteHandle(append, "def", 3);
  // Not an append-only handle: a seek still places the next write.
  EXPECT_TRUE(QIFileServerFunctions::SeekHandle(append, 0));
  QIFileServerFunctions::WriteHandle(append, "A", 1);
  QIFileServerFunctions::CloseHandle(append);
  EXPECT_EQ(TempFolder::Read(name), "Abcdef");

  std::string fresh = folder.File("fresh.txt");
  QFileHandle created = Server().OpenAppend(fresh.c_str());
  ASSERT_TRUE(Server().IsValid(created));
  QIFileServerFunctions::WriteHandle(created, "new", 3);
  QIFileServerFunctions::CloseHandle(created);
  EXPECT_EQ(TempFolder::Read(fresh), "new");
}

TEST(FileServerFiles, DuplicateFileCopiesTheBytes)
{
  TempFolder folder;
  std::string bytes = Pattern(70000, 3);
  std::string source = folder.Write("source.bin", bytes);
  std::string copy = folder.Write("copy.bin", "to be replaced");
  Server().DuplicateFile(source.c_str(), copy.c_str());
  EXPECT_EQ(TempFolder::Read(copy), bytes);
  EXPECT_EQ(TempFolder::Read(source), bytes);
}

TEST(FileServerFiles, DuplicateFileOfAMissingSourceLeavesTheDestinationAlone)
{
  TempFolder folder;
  std::string kept = folder.Write("kept.bin", "keep me");
  Server().DuplicateFile(folder.File("missing.bin").c_str(), kept.c_str());
  EXPECT_EQ(TempFolder::Read(kept), "keep me");
  std::string absent = folder.File("absent.bin");
  Server().DuplicateFile(folder.File("missing.bin").c_str(), absent.c_str());
  EXPECT_FALSE(std::filesystem::exists(absent));
}

TEST(FileServerFiles, DuplicateFileOntoTheSameNameInOtherCaseDoesNothing)
{
  TempFolder folder;
  std::string source = folder.Write("same.bin", "keep me");
  std::string other = folder.File("SAME.BIN");
  Server().DuplicateFile(source.c_str(), other.c_str());
  EXPECT_EQ(TempFolder::Read(source), "keep me");
#ifndef _WIN32
  // Another file on POSIX, which must not have been created either.
  EXPECT_FALSE(std::filesystem::exists(other));
#endif
}

TEST(FileServerFreeFunctions, ExistingFileIsSeenSizedAndTimed)
{
  TempFolder folder;
  std::string name = folder.Write("here.bin", Pattern(777, 4));
  EXPECT_TRUE(QFileExists(name.c_str()));
  EXPECT_EQ(QFileSizeOf(name.c_str()), 777u);
  EXPECT_NEAR(static_cast<double>(QFileTimeOf(name.c_str())), static_cast<double>(std::time(nullptr)), 5.0);
}

TEST(FileServerFreeFunctions, MissingFileReadsAsAbsentEmptyAndTimeless)
{
  TempFolder folder;
  std::string name = folder.File("gone.bin");
  EXPECT_FALSE(QFileExists(name.c_str()));
  EXPECT_EQ(QFileSizeOf(name.c_str()), 0u);
  EXPECT_EQ(QFileTimeOf(name.c_str()), 0);
  EXPECT_FALSE(QDeleteFile(name.c_str()));
  EXPECT_TRUE(QDeleteFileIfPresent(name.c_str()));
}

TEST(FileServerFreeFunctions, DeleteRemovesEvenAReadOnlyFile)
{
  TempFolder folder;
  std::string name = folder.Write("locked.bin", "x");
  std::filesystem::permissions(name, std::filesystem::perms::owner_read | std::filesystem::perms::group_read,
                               std::filesystem::perm_options::replace);
  EXPECT_TRUE(QDeleteFile(name.c_str()));
  EXPECT_FALSE(std::filesystem::exists(name));

  std::string other = folder.Write("other.bin", "y");
  EXPECT_TRUE(QDeleteFileIfPresent(other.c_str()));
  EXPECT_FALSE(std::filesystem::exists(other));
}

#ifndef _WIN32
TEST(FileServerPosix, BackslashSeparatesFoldersToo)
{
  TempFolder folder;
  std::filesystem::create_directory(folder.Path() / "a");
  folder.Write("a/b.bin", "inside");
  std::string name = folder.Path().string() + "\\a\\b.bin";
  EXPECT_TRUE(QFileExists(name.c_str()));
  EXPECT_EQ(QFileSizeOf(name.c_str()), 6u);
  EXPECT_TRUE(QDeleteFile(name.c_str()));
  EXPECT_FALSE(std::filesystem::exists(folder.Path() / "a" / "b.bin"));
}

TEST(FileServerPosix, HandleIsNeverAStandardStreamDescriptor)
{
  TempFolder folder;
  std::string name = folder.Write("low.bin", "z");
  int saved = dup(0);
  ASSERT_GE(saved, 0);
  close(0);
  QFileHandle handle = Server().OpenRead(name.c_str());
  dup2(saved, 0);
  close(saved);
  ASSERT_TRUE(Server().IsValid(handle));
  EXPECT_GE(handle, 3);
  EXPECT_EQ(Server().FileSize(handle), 1u);
  Server().CloseRead(name.c_str(), handle);
}

TEST(FileServerPosix, ErrnoTranslatesToWindowsErrorNumbers)
{
  struct
  {
    int error;
    unsigned long windows;
  } const table[] = {{0, 0},        {ENOENT, 2}, {ENOTDIR, 3}, {EACCES, 5}, {EPERM, 5},   {EROFS, 5},  {EBUSY, 32},
                     {ETXTBSY, 32}, {EIO, 23},   {ENOSPC, 39}, {EBADF, 6},  {EINVAL, 31}, {EEXIST, 31}};
  for (const auto &entry : table)
  {
    errno = entry.error;
    EXPECT_EQ(QIFileServerFunctions::LastError(), entry.windows) << entry.error;
  }
}
#endif
