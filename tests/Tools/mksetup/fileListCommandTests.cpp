#include "tests/Tools/mksetup/mksetupTestFiles.hpp"
#include "tests/Tools/mksetup/runMksetup.hpp"
#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
// A folder to list ("in") and a place for the list beside it.
struct FileListFixture
{
  TempFolder folder;
  fs::path in = folder.Path() / "in";
  std::string list = folder.File("files.lst");

  FileListFixture() { fs::create_directories(in); }

  void Add(const std::string &relative, const std::string &bytes) const { WriteFileAt(in / relative, bytes); }

  MksetupRun Create(const std::vector<std::string> &options = {}) const
  {
    std::vector<std::string> arguments = {"filelist", "create"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.push_back(list);
    arguments.push_back(in.string());
    return RunMksetup(arguments);
  }

  MksetupRun List() const { return RunMksetup({"filelist", "list", list}); }
  std::vector<std::string> ListedLines() const
  {
    MksetupRun run = List();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return Lines(run.out);
  }
};

// The stored form of one record, built field by field.
std::string RecordBytes(const std::string &name, std::uint32_t size, std::int8_t archive)
{
  std::string bytes = name;
  bytes.push_back('\0');
  for (int i = 0; i < 4; ++i)
    bytes.push_back(static_cast<char>(size >> (8 * i)));
  bytes.push_back(static_cast<char>(archive));
  return bytes;
}

std::string CountBytes(std::uint32_t count) { return RecordBytes("", count, 0).substr(1, 4); }
} // namespace

// --- create and list ---------------------------------------------------------

TEST(MksetupFileList, CreateThenListGivesEveryNestedFileInByteOrder)
{
  // Path-wise order would put the folder "a" before "a-b" and "a.txt"; byte
  // order puts "\" (0x5c) after "-" and ".", and capitals before "_".
  FileListFixture fixture;
  fixture.Add("top.bin", std::string(1000, 'x'));
  fixture.Add("a/b/c.txt", "deep");
  fixture.Add("a-b", "12");
  fixture.Add("a.txt", "");
  fixture.Add("_x", "1");
  fixture.Add("Zed", "123");
  fs::create_directories(fixture.in / "empty" / "folder");
  MksetupRun run = fixture.Create();
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(fixture.ListedLines(), (std::vector<std::string>{"Zed\t3\t1", "_x\t1\t1", "a-b\t2\t1", "a.txt\t0\t1",
                                                             "a\\b\\c.txt\t4\t1", "top.bin\t1000\t1"}));
}

TEST(MksetupFileList, StoredFormIsCountThenNameZeroSizeAndArchiveByte)
{
  FileListFixture fixture;
  fixture.Add("d/f.bin", "12345");
  fixture.Add("a", std::string(258, 'a'));
  ASSERT_EQ(fixture.Create({"--archive", "7", "--archive-of", "a=-1"}).exitCode, 0);
  std::string expected =
      CountBytes(2) + std::string("a\0\x02\x01\0\0\xFF", 7) + std::string("d\\f.bin\0\x05\0\0\0\x07", 13);
  EXPECT_EQ(TempFolder::Read(fixture.list), expected);

  // An empty folder gives the count alone.
  FileListFixture empty;
  ASSERT_EQ(empty.Create().exitCode, 0);
  EXPECT_EQ(TempFolder::Read(empty.list), CountBytes(0));
  EXPECT_EQ(empty.List().out, "");
}

TEST(MksetupFileList, ArchiveSetsEveryFileAndArchiveOfOverridesSingleFiles)
{
  FileListFixture fixture;
  for (const char *name : {"a/b/c.txt", "a/x.txt", "top.bin", "other.bin"})
    fixture.Add(name, "x");
  MksetupRun run = fixture.Create(
      {"--archive", "3", "--archive-of", "a/b/c.txt=0", "--archive-of=top.bin=127", "--archive-of", "a\\x.txt=-1"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(fixture.ListedLines(),
            (std::vector<std::string>{"a\\b\\c.txt\t1\t0", "a\\x.txt\t1\t-1", "other.bin\t1\t3", "top.bin\t1\t127"}));

  // A name may hold "=": the number follows the last one.
  FileListFixture equals;
  equals.Add("x=y.txt", "x");
  ASSERT_EQ(equals.Create({"--archive-of", "x=y.txt=2"}).exitCode, 0);
  EXPECT_EQ(equals.ListedLines(), std::vector<std::string>{"x=y.txt\t1\t2"});
}

TEST(MksetupFileList, AnEarlierListInsideTheFolderIsReplacedNotListed)
{
  FileListFixture fixture;
  fixture.Add("file.txt", "x");
  fixture.list = (fixture.in / "self.lst").string();
  ASSERT_EQ(fixture.Create().exitCode, 0);
  ASSERT_EQ(fixture.Create().exitCode, 0);
  EXPECT_EQ(fixture.ListedLines(), std::vector<std::string>{"file.txt\t1\t1"});
  EXPECT_EQ(TreeOf(fixture.in), (std::set<std::string>{"file.txt", "self.lst"}));
}

TEST(MksetupFileList, SizesUpTo4GiBLess1AreListedAndLargerFilesRefused)
{
  FileListFixture fixture;
  std::error_code error;
  std::ofstream(fixture.in / "big.bin").put('x');
  fs::resize_file(fixture.in / "big.bin", 0xFFFFFFFFull, error);
  if (error)
    GTEST_SKIP() << "this file system does not take a file of 4 GiB: " << error.message();
  MksetupRun run = fixture.Create();
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(fixture.ListedLines(), std::vector<std::string>{"big.bin\t4294967295\t1"});

  fs::resize_file(fixture.in / "big.bin", 0x100000000ull, error);
  ASSERT_FALSE(error) << error.message();
  MksetupRun tooLarge = fixture.Create();
  EXPECT_EQ(tooLarge.exitCode, 1);
  EXPECT_NE(tooLarge.err.find("big.bin"), std::string::npos) << tooLarge.err;
  EXPECT_NE(tooLarge.err.find("too large"), std::string::npos) << tooLarge.err;
  // The earlier list stays as it was.
  EXPECT_EQ(fixture.ListedLines(), std::vector<std::string>{"big.bin\t4294967295\t1"});
}

// --- refused arguments and folders -----------------------------------------

TEST(MksetupFileList, ArchiveNumbersOutsideMinus1To127AreUsageErrors)
{
  FileListFixture fixture;
  fixture.Add("file.txt", "x");
  for (const char *number : {"128", "-2", "256", "x", "", "1.5", "+1", "0x1", "--1", " 1", "99999999999999999999"})
  {
    MksetupRun run = fixture.Create({"--archive", number});
    EXPECT_EQ(run.exitCode, 2) << "'" << number << "'";
    EXPECT_NE(run.err.find("--archive"), std::string::npos) << run.err;
  }
  for (const char *pair : {"file.txt", "=3", "file.txt=", "file.txt=128", "file.txt=-2", "file.txt=one"})
    EXPECT_EQ(fixture.Create({"--archive-of", pair}).exitCode, 2) << pair;
  EXPECT_EQ(fixture.Create({"--archive", "1", "--archive", "2"}).exitCode, 2);
  EXPECT_EQ(fixture.Create({"--archive-of", "file.txt=1", "--archive-of", "file.txt=2"}).exitCode, 2);
  EXPECT_EQ(RunMksetup({"filelist", "create", fixture.list, fixture.in.string(), "--archive"}).exitCode, 2);
  EXPECT_EQ(RunMksetup({"filelist", "create", fixture.list}).exitCode, 2);
  EXPECT_EQ(RunMksetup({"filelist", "list"}).exitCode, 2);
  EXPECT_FALSE(Exists(fixture.list));
}

TEST(MksetupFileList, ArchiveOfANameNoFileHasFailsNamingIt)
{
  FileListFixture fixture;
  fixture.Add("data/file.txt", "x");
  // Names are compared as written: another case or a folder is no file.
  for (const char *name : {"missing.txt", "DATA/file.txt", "data", "data/file.txt/"})
  {
    MksetupRun run = fixture.Create({"--archive-of", std::string(name) + "=2"});
    EXPECT_EQ(run.exitCode, 1) << name;
    EXPECT_NE(run.err.find("names"), std::string::npos) << run.err;
  }
  MksetupRun run = fixture.Create({"--archive-of", "missing.txt=2"});
  EXPECT_NE(run.err.find("missing.txt"), std::string::npos) << run.err;
  EXPECT_FALSE(Exists(fixture.list));
  EXPECT_EQ(TreeOf(fixture.folder.Path()), (std::set<std::string>{"in/", "in/data/", "in/data/file.txt"}));
}

TEST(MksetupFileList, AMissingFolderOrAnUnwritableListLeavesNoFile)
{
  FileListFixture fixture;
  fixture.in = fixture.folder.Path() / "missing";
  EXPECT_EQ(fixture.Create().exitCode, 1);
  fixture.in = fixture.folder.Write("plain.txt", "x");
  EXPECT_EQ(fixture.Create().exitCode, 1);
  EXPECT_FALSE(Exists(fixture.list));

  FileListFixture unwritable;
  unwritable.Add("file.txt", "x");
  unwritable.list = unwritable.folder.File("no-such-folder/files.lst");
  MksetupRun run = unwritable.Create();
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err, "");
  EXPECT_EQ(TreeOf(unwritable.folder.Path()), (std::set<std::string>{"in/", "in/file.txt"}));
}

TEST(MksetupFileList, FilesWhoseNamesDifferOnlyInCaseAreRefused)
{
  FileListFixture fixture;
  fixture.Add("Readme.txt", "one");
  fixture.Add("README.TXT", "two");
  if (TreeOf(fixture.in).size() != 2)
    GTEST_SKIP() << "this file system ignores case";
  MksetupRun run = fixture.Create();
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("Readme.txt"), std::string::npos) << run.err;
  EXPECT_FALSE(Exists(fixture.list));
}

// --- list of damaged data ----------------------------------------------------

TEST(MksetupFileList, ListPrintsTheRecordsBeforeACutThenFails)
{
  FileListFixture fixture;
  std::string whole = CountBytes(3) + RecordBytes("one.txt", 5, 1) + RecordBytes("two.txt", 0x01020304, -1) +
                      RecordBytes("three.txt", 7, 2);
  fixture.folder.Write("files.lst", whole);
  EXPECT_EQ(fixture.ListedLines(),
            (std::vector<std::string>{"one.txt\t5\t1", "two.txt\t16909060\t-1", "three.txt\t7\t2"}));

  // Cut anywhere inside the second record: the first one is listed.
  const std::size_t secondStart = 4 + 13, secondEnd = secondStart + 13;
  for (std::size_t cut = secondStart; cut < secondEnd; ++cut)
  {
    fixture.folder.Write("files.lst", whole.substr(0, cut));
    MksetupRun run = fixture.List();
    EXPECT_EQ(run.exitCode, 1) << cut;
    EXPECT_EQ(Lines(run.out), std::vector<std::string>{"one.txt\t5\t1"}) << cut;
    EXPECT_NE(run.err.find("record 2 of the 3"), std::string::npos) << run.err;
  }
}

TEST(MksetupFileList, ListRefusesALyingCountAShortFileAndAHugeOne)
{
  FileListFixture fixture;
  fixture.folder.Write("files.lst", CountBytes(0x7FFFFFFF) + RecordBytes("a", 1, 1));
  MksetupRun lying = fixture.List();
  EXPECT_EQ(lying.exitCode, 1);
  EXPECT_EQ(Lines(lying.out), std::vector<std::string>{"a\t1\t1"});

  fixture.folder.Write("files.lst", std::string("\x01\0", 2));
  MksetupRun shortFile = fixture.List();
  EXPECT_EQ(shortFile.exitCode, 1);
  EXPECT_EQ(shortFile.out, "");
  EXPECT_NE(shortFile.err.find("too short"), std::string::npos) << shortFile.err;

  fixture.folder.Write("files.lst", CountBytes(0));
  std::error_code error;
  fs::resize_file(fixture.list, (64u << 20) + 1, error);
  ASSERT_FALSE(error) << error.message();
  MksetupRun huge = fixture.List();
  EXPECT_EQ(huge.exitCode, 1);
  EXPECT_NE(huge.err.find("too large"), std::string::npos) << huge.err;

  EXPECT_EQ(RunMksetup({"filelist", "list", fixture.folder.File("missing.lst")}).exitCode, 1);
}
