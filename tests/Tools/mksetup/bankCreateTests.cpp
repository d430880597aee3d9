#include "El/QStream/ssCompress.hpp"
#include "tests/Tools/mksetup/mksetupTestFiles.hpp"
#include "tests/Tools/mksetup/runMksetup.hpp"
#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
constexpr std::uint32_t Stored = 0;
constexpr std::uint32_t Packed = 0x43707273;

// A folder to pack ("in") and a place for the bank beside it.
struct BankFixture
{
  TempFolder folder;
  fs::path in = folder.Path() / "in";
  std::string bank = folder.File("test.bank");

  BankFixture() { fs::create_directories(in); }

  void Add(const std::string &relative, const std::string &bytes, std::int64_t time = 1600000000)
  {
    WriteFileAt(in / relative, bytes);
    SetModificationTime(in / relative, time);
  }

  MksetupRun Create(const std::vector<std::string> &options = {}) const
  {
    std::vector<std::string> arguments = {"bank", "create"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.push_back(bank);
    arguments.push_back(in.string());
    return RunMksetup(arguments);
  }

  RawBank Raw() const { return ParseRawBank(TempFolder::Read(bank)); }
};

std::vector<std::string> NamesOf(const RawBank &bank)
{
  std::vector<std::string> names;
  for (const RawBankRecord &member : bank.members)
    names.push_back(member.name);
  return names;
}

std::string Unpack(const std::string &packed, std::uint32_t size)
{
  std::string bytes(size, '\0');
  if (!SSCompress().decode(bytes.data(), static_cast<long>(size), packed.data(), static_cast<long>(packed.size())))
    return "(malformed)";
  return bytes;
}
} // namespace

TEST(MksetupBankCreate, StoresEveryFileUnderItsBackslashSeparatedRelativeName)
{
  BankFixture fixture;
  fixture.Add("top.bin", RandomBytes(1000, 1), 1000000000);
  fixture.Add("a/b/c.txt", "deep", 1000000001);
  fixture.Add("a/x.txt", "", 1000000002);
  fs::create_directories(fixture.in / "empty" / "folder");
  MksetupRun run = fixture.Create();
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");

  RawBank bank = fixture.Raw();
  ASSERT_TRUE(bank.valid);
  EXPECT_FALSE(bank.hasVersionRecord);
  ASSERT_EQ(NamesOf(bank), (std::vector<std::string>{"a\\b\\c.txt", "a\\x.txt", "top.bin"}));
  const std::vector<std::string> bytes = {"deep", "", RandomBytes(1000, 1)};
  const std::vector<std::uint32_t> times = {1000000001, 1000000002, 1000000000};
  for (std::size_t i = 0; i < bank.members.size(); ++i)
  {
    const RawBankRecord &member = bank.members[i];
    EXPECT_EQ(member.method, Stored) << member.name;
    EXPECT_EQ(member.unpackedSize, bytes[i].size()) << member.name;
    EXPECT_EQ(member.dataSize, bytes[i].size()) << member.name;
    EXPECT_EQ(member.reserved, 0u) << member.name;
    EXPECT_EQ(member.timestamp, times[i]) << member.name;
    EXPECT_TRUE(bank.data[i] == bytes[i]) << member.name;
  }
  EXPECT_EQ(bank.terminator.method | bank.terminator.unpackedSize | bank.terminator.reserved |
                bank.terminator.timestamp | bank.terminator.dataSize,
            0u);
  EXPECT_EQ(bank.trailing, 0u);
}

TEST(MksetupBankCreate, OrdersMembersByTheBytesOfTheirFullNames)
{
  // Path-wise order would put the folder "a" before "a-b" and "a.txt";
  // byte order puts "\" (0x5c) after "-" and ".", and capitals before "_".
  BankFixture fixture;
  for (const char *name : {"a/b", "a.txt", "a-b", "_x", "Zed", "B.txt", "a0"})
    fixture.Add(name, name);
  ASSERT_EQ(fixture.Create().exitCode, 0);
  EXPECT_EQ(NamesOf(fixture.Raw()), (std::vector<std::string>{"B.txt", "Zed", "_x", "a-b", "a.txt", "a0", "a\\b"}));
}

TEST(MksetupBankCreate, PackStoresCompressibleFilesPackedAndTheRestStored)
{
  BankFixture fixture;
  fixture.Add("text.txt", RepetitiveText(20000));
  fixture.Add("noise.bin", RandomBytes(20000, 9));
  fixture.Add("empty.txt", "");
  fixture.Add("tiny.txt", "ab");
  ASSERT_EQ(fixture.Create({"--pack"}).exitCode, 0);

  RawBank bank = fixture.Raw();
  ASSERT_TRUE(bank.valid);
  ASSERT_EQ(NamesOf(bank), (std::vector<std::string>{"empty.txt", "noise.bin", "text.txt", "tiny.txt"}));
  EXPECT_EQ(bank.members[0].method, Stored);
  EXPECT_EQ(bank.members[1].method, Stored);
  EXPECT_TRUE(bank.data[1] == RandomBytes(20000, 9));
  EXPECT_EQ(bank.members[2].method, Packed);
  EXPECT_EQ(bank.members[2].unpackedSize, 20000u);
  EXPECT_LT(bank.members[2].dataSize, 5000u);
  EXPECT_TRUE(Unpack(bank.data[2], 20000) == RepetitiveText(20000));
  EXPECT_EQ(bank.members[3].method, Stored);
  EXPECT_EQ(bank.data[3], "ab");
}

TEST(MksetupBankCreate, VersionWritesTheVersionRecordFirstAndPropertiesInOrder)
{
  BankFixture fixture;
  fixture.Add("file.txt", "x");
  ASSERT_EQ(fixture.Create({"--version"}).exitCode, 0);
  std::string bytes = TempFolder::Read(fixture.bank);
  // Empty name, "sreV", then four zero fields, then the empty key.
  ASSERT_GE(bytes.size(), 22u);
  EXPECT_EQ(bytes.substr(0, 22), std::string(1, '\0') + "sreV" + std::string(17, '\0'));
  RawBank bank = fixture.Raw();
  EXPECT_TRUE(bank.hasVersionRecord);
  EXPECT_TRUE(bank.properties.empty());
  EXPECT_EQ(NamesOf(bank), std::vector<std::string>{"file.txt"});

  ASSERT_EQ(
      fixture.Create({"--property", "prefix=data\\x", "--property=product=Game=2", "--property", "empty="}).exitCode,
      0);
  bank = fixture.Raw();
  EXPECT_TRUE(bank.hasVersionRecord) << "--property implies --version";
  EXPECT_EQ(bank.properties, (std::vector<std::pair<std::string, std::string>>{
                                 {"prefix", "data\\x"}, {"product", "Game=2"}, {"empty", ""}}));
  EXPECT_EQ(TempFolder::Read(fixture.bank).compare(0, 5, std::string(1, '\0') + "sreV"), 0);
  EXPECT_TRUE(bank.data == std::vector<std::string>{"x"});
}

TEST(MksetupBankCreate, EmptyFolderGivesABankOfTheTerminatingRecordAlone)
{
  BankFixture fixture;
  ASSERT_EQ(fixture.Create().exitCode, 0);
  EXPECT_EQ(TempFolder::Read(fixture.bank), std::string(21, '\0'));
}

TEST(MksetupBankCreate, ReplacesAnExistingBankAndLeavesAnOldOneInsideTheFolderOut)
{
  BankFixture fixture;
  fixture.Add("file.txt", "x");
  fixture.bank = (fixture.in / "self.bank").string();
  ASSERT_EQ(fixture.Create().exitCode, 0);
  ASSERT_EQ(fixture.Create().exitCode, 0);
  EXPECT_EQ(NamesOf(fixture.Raw()), std::vector<std::string>{"file.txt"});
  EXPECT_EQ(TreeOf(fixture.in), (std::set<std::string>{"file.txt", "self.bank"}));
}

TEST(MksetupBankCreate, NameOverTheLimitIsRefusedAndNothingIsLeftBehind)
{
#ifdef _WIN32
  GTEST_SKIP() << "folder walks on Windows stop at paths of 260 characters, long before a name reaches the limit";
#endif
  BankFixture fixture;
  // Five folders of 200 characters and a file: 5 * 201 + 19 = 1024 characters.
  fs::path deep;
  for (char c : std::string("abcde"))
    deep /= std::string(200, c);
  std::error_code error;
  fs::create_directories(fixture.in / deep, error);
  std::ofstream(fixture.in / deep / "file-of-19-chars.tx") << "x";
  if (error || !Exists(fixture.in / deep / "file-of-19-chars.tx"))
    GTEST_SKIP() << "this file system does not take paths that long";
  fixture.Add("short.txt", "x");
  MksetupRun run = fixture.Create();
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("1023"), std::string::npos) << run.err;
  EXPECT_EQ(TreeOf(fixture.folder.Path()).count("test.bank"), 0u);
  for (const std::string &name : TreeOf(fixture.folder.Path()))
    EXPECT_EQ(name.rfind("in/", 0), 0u) << name;

  // One character less fits.
  fs::rename(fixture.in / deep / "file-of-19-chars.tx", fixture.in / deep / "file-of-18-chars.t");
  MksetupRun fits = fixture.Create();
  EXPECT_EQ(fits.exitCode, 0) << fits.err;
}

TEST(MksetupBankCreate, FilesWhoseNamesDifferOnlyInCaseAreRefused)
{
  BankFixture fixture;
  fixture.Add("Readme.txt", "one");
  fixture.Add("README.TXT", "two");
  if (TreeOf(fixture.in).size() != 2)
    GTEST_SKIP() << "this file system ignores case";
  MksetupRun run = fixture.Create();
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err, "");
  EXPECT_FALSE(Exists(fixture.bank));
}

TEST(MksetupBankCreate, AMissingFolderOrAFileInsteadOfOneFails)
{
  BankFixture fixture;
  fixture.in = fixture.folder.Path() / "missing";
  EXPECT_EQ(fixture.Create().exitCode, 1);
  fixture.in = fixture.folder.Write("plain.txt", "x");
  EXPECT_EQ(fixture.Create().exitCode, 1);
  EXPECT_FALSE(Exists(fixture.bank));
}
