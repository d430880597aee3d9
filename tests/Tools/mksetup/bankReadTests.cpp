#include "Tools/mksetup/bankWriter.hpp"
#include "tests/Tools/mksetup/mksetupTestFiles.hpp"
#include "tests/Tools/mksetup/runMksetup.hpp"
#include "tests/support/capturingFrame.hpp"
#include "tests/support/tempFolder.hpp"

#include "El/QStream/qOStream.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
constexpr std::uint32_t Stored = 0;
constexpr std::uint32_t Packed = 0x43707273;

bool Contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

// Writes a bank made with the tool's own writer.
std::string WriteBank(const TempFolder &folder, const std::string &name, const BankWriter &writer)
{
  std::string file = folder.File(name);
  QOFStream out(file.c_str());
  EXPECT_TRUE(writer.Write(out));
  EXPECT_EQ(out.Close(), 0);
  return file;
}

// A folder of files, the bank made of it with the tool, and a place to
// extract to.
struct TreeFixture
{
  TempFolder folder;
  fs::path in = folder.Path() / "in";
  fs::path out = folder.Path() / "out";
  std::string bank = folder.File("tree.bank");
  std::vector<std::pair<std::string, std::string>> files = {
      {"readme.txt", RepetitiveText(3000)},
      {"data/noise.bin", RandomBytes(70000, 4)},
      {"data/empty.dat", ""},
      {"data/maps/large.map", RepetitiveText(300000) + RandomBytes(300000, 5)},
      {"data/maps/line.txt", "one line\r\nand \x1a another\n"},
  };

  void CreateBank(const std::vector<std::string> &options = {})
  {
    for (const auto &[name, bytes] : files)
      WriteFileAt(in / name, bytes);
    std::vector<std::string> arguments = {"bank", "create"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.push_back(bank);
    arguments.push_back(in.string());
    MksetupRun run = RunMksetup(arguments);
    ASSERT_EQ(run.exitCode, 0) << run.err;
  }
};
} // namespace

TEST(MksetupBankList, ShowsOneTabSeparatedLinePerMemberWithTheLibrarysNames)
{
  TempFolder folder;
  fs::path in = folder.Path() / "in";
  WriteFileAt(in / "Docs" / "ReadMe.TXT", RepetitiveText(10000));
  WriteFileAt(in / "noise.bin", RandomBytes(300, 2));
  SetModificationTime(in / "Docs" / "ReadMe.TXT", 1234567890);
  SetModificationTime(in / "noise.bin", 987654321);
  std::string bank = folder.File("listed.bank");
  ASSERT_EQ(RunMksetup({"bank", "create", "--pack", "--property", "k=v", bank, in.string()}).exitCode, 0);

  RawBank raw = ParseRawBank(TempFolder::Read(bank));
  ASSERT_TRUE(raw.valid);
  ASSERT_EQ(raw.members.size(), 2u);
  std::uint32_t packedSize = raw.members[0].dataSize;
  std::size_t second = raw.dataStart + packedSize;
  MksetupRun run = RunMksetup({"bank", "list", bank});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "") << "library chatter stays quiet";
  EXPECT_EQ(Lines(run.out),
            (std::vector<std::string>{"docs\\readme.txt\tsrpC\t10000\t" + std::to_string(packedSize) +
                                          "\t1234567890\t" + std::to_string(raw.dataStart),
                                      "noise.bin\tstored\t300\t300\t987654321\t" + std::to_string(second)}));
}

TEST(MksetupBankList, LibraryLogLinesAppearOnlyWhenVerbose)
{
  BankWriter writer;
  writer.AddMember("a.txt", Stored, 1, 0, "a");
  TempFolder folder;
  std::string bank = WriteBank(folder, "log.bank", writer);
  MksetupRun quiet = RunMksetup({"bank", "list", bank});
  EXPECT_EQ(quiet.exitCode, 0);
  EXPECT_EQ(quiet.err, "");
  MksetupRun verbose = RunMksetup({"bank", "list", bank}, {{"MKSETUP_VERBOSE", "1"}});
  EXPECT_EQ(verbose.exitCode, 0);
  EXPECT_TRUE(Contains(verbose.err, "Load bank")) << verbose.err;
  EXPECT_EQ(verbose.out, quiet.out);
}

TEST(MksetupBankList, OrdersMembersByTheirDataNotByTheTable)
{
  // Enough members for the library's table to spread them over buckets.
  BankWriter writer;
  std::vector<std::string> expected;
  std::uint32_t position = 0;
  std::vector<std::string> names;
  for (int i = 0; i < 40; ++i)
    names.push_back("m" + std::to_string((i * 17) % 40) + ".dat");
  for (const std::string &name : names)
    writer.AddMember(name, Stored, 3, 7, "abc");
  // Zero-size members share the position of the data after them.
  writer.AddMember("zero.dat", Stored, 0, 7, "");
  writer.AddMember("last.dat", Stored, 3, 7, "xyz");
  std::uint32_t start = static_cast<std::uint32_t>(writer.HeaderSize());
  names.push_back("zero.dat");
  names.push_back("last.dat");
  for (const std::string &name : names)
  {
    std::uint32_t size = name == "zero.dat" ? 0 : 3;
    expected.push_back(name + "\tstored\t" + std::to_string(size) + "\t" + std::to_string(size) + "\t7\t" +
                       std::to_string(start + position));
    position += size;
  }
  TempFolder folder;
  std::string bank = WriteBank(folder, "many.bank", writer);
  MksetupRun run = RunMksetup({"bank", "list", bank});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Lines(run.out), expected);
}

TEST(MksetupBankList, NamesEncipheredAndUnknownMethods)
{
  BankWriter writer;
  writer.AddMember("a", 0x456e6372, 4, 0, "abcd");
  writer.AddMember("b", 0x12345678, 4, 0, "abcd");
  writer.AddMember("c", 0xab, 4, 0, "abcd");
  TempFolder folder;
  MksetupRun run = RunMksetup({"bank", "list", WriteBank(folder, "methods.bank", writer)});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("a\trcnE\t", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("b\t12345678\t", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2].rfind("c\t000000ab\t", 0), 0u) << lines[2];
}

TEST(MksetupBankList, FailsOnlyForAFileThatDoesNotOpen)
{
  TempFolder folder;
  MksetupRun missing = RunMksetup({"bank", "list", folder.File("missing.bank")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(missing.err, "");
}

TEST(MksetupBankList, ListsADamagedTableWithAWarningButExtractRefusesIt)
{
  // The reader loads any bytes as a table; listing says so and goes on,
  // reading members out of it does not.
  TempFolder folder;
  std::string text = folder.Write("text.txt", RepetitiveText(5000));
  BankWriter writer;
  writer.AddMember("member.txt", Stored, 5, 0, "12345");
  std::string whole = TempFolder::Read(WriteBank(folder, "whole.bank", writer));
  std::string cut = folder.Write("cut.bank", whole.substr(0, 12));
  for (const std::string &bank : {text, cut})
  {
    MksetupRun list = RunMksetup({"bank", "list", bank});
    EXPECT_EQ(list.exitCode, 0) << bank;
    EXPECT_NE(list.err.find("not a bank, or a damaged one"), std::string::npos) << bank;
    MksetupRun extract = RunMksetup({"bank", "extract", bank, folder.File("out")});
    EXPECT_EQ(extract.exitCode, 1) << bank;
  }
}

TEST(MksetupBankExtract, RestoresEveryFileByteForByte)
{
  for (bool pack : {false, true})
  {
    TreeFixture fixture;
    fixture.CreateBank(pack ? std::vector<std::string>{"--pack"} : std::vector<std::string>{});
    MksetupRun run = RunMksetup({"bank", "extract", fixture.bank, fixture.out.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(TreeOf(fixture.out), TreeOf(fixture.in)) << (pack ? "packed" : "stored");
    for (const auto &[name, bytes] : fixture.files)
      EXPECT_TRUE(ReadFileAt(fixture.out / name) == bytes) << name << (pack ? " packed" : " stored");
  }
}

TEST(MksetupBankExtract, WritesOnlyTheNamedMembersFoundIgnoringCaseAndSeparator)
{
  TreeFixture fixture;
  fixture.CreateBank({"--pack"});
  MksetupRun run =
      RunMksetup({"bank", "extract", fixture.bank, fixture.out.string(), "DATA/Maps/Line.txt", "readme.txt"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(TreeOf(fixture.out), (std::set<std::string>{"data/", "data/maps/", "data/maps/line.txt", "readme.txt"}));
  EXPECT_EQ(ReadFileAt(fixture.out / "data" / "maps" / "line.txt"), fixture.files[4].second);
}

TEST(MksetupBankExtract, AMissingMemberFailsAndTheOthersAreStillWritten)
{
  TreeFixture fixture;
  fixture.CreateBank();
  MksetupRun run = RunMksetup({"bank", "extract", fixture.bank, fixture.out.string(), "nothing.txt", "readme.txt"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(Contains(run.err, "nothing.txt")) << run.err;
  EXPECT_EQ(TreeOf(fixture.out), std::set<std::string>{"readme.txt"});
}

TEST(MksetupBankExtract, RefusesNamesThatWouldLandOutsideTheFolder)
{
  const std::vector<std::string> hostile = {
      "..\\escape1.txt", "a\\..\\..\\escape2.txt", "\\escape3.txt", "/escape4.txt",   "c:escape5.txt",
      "c:\\escape6.txt", "a/../../escape7.txt",    "a\\.\\dot.txt", "a\\\\empty.txt", "a\\.. \\escape8.txt",
      "con.txt"};
  BankWriter writer;
  writer.AddMember("fine.txt", Stored, 4, 0, "fine");
  for (const std::string &name : hostile)
    writer.AddMember(name, Stored, 4, 0, "evil");
  writer.AddMember("sub\\fine.txt", Stored, 4, 0, "also");
  TempFolder folder;
  std::string bank = WriteBank(folder, "hostile.bank", writer);
  fs::path out = folder.Path() / "deep" / "out";

  MksetupRun run = RunMksetup({"bank", "extract", bank, out.string()});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(Lines(run.err).size(), hostile.size()) << run.err;
  EXPECT_EQ(TreeOf(folder.Path()), (std::set<std::string>{"hostile.bank", "deep/", "deep/out/", "deep/out/fine.txt",
                                                          "deep/out/sub/", "deep/out/sub/fine.txt"}));

  // Named one by one as well.
  for (const std::string &name : hostile)
  {
    MksetupRun named = RunMksetup({"bank", "extract", bank, out.string(), name});
    EXPECT_EQ(named.exitCode, 1) << name;
  }
  EXPECT_EQ(TreeOf(folder.Path()).size(), 6u);
}

TEST(MksetupBankExtract, AnUndecodableMemberFailsWithoutLeavingAFile)
{
  BankWriter writer;
  writer.AddMember("broken.txt", Packed, 5000, 0, std::string(40, '\xff'));
  writer.AddMember("fine.txt", Stored, 4, 0, "fine");
  TempFolder folder;
  std::string bank = WriteBank(folder, "broken.bank", writer);
  fs::path out = folder.Path() / "out";
  MksetupRun run = RunMksetup({"bank", "extract", bank, out.string()});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(Contains(run.err, "broken.txt")) << run.err;
  EXPECT_EQ(TreeOf(out), std::set<std::string>{"fine.txt"});
}

TEST(MksetupBankCat, WritesTheMembersBytesUnchangedToStdout)
{
  TreeFixture fixture;
  fixture.CreateBank({"--pack"});
  for (const auto &[name, bytes] : fixture.files)
  {
    MksetupRun run = RunMksetup({"bank", "cat", fixture.bank, name});
    EXPECT_EQ(run.exitCode, 0) << name << ": " << run.err;
    EXPECT_TRUE(run.out == bytes) << name << ": " << run.out.size() << " bytes";
  }
}

TEST(MksetupBankCat, FailsForAMissingOrUndecodableMember)
{
  BankWriter writer;
  writer.AddMember("broken.txt", Packed, 5000, 0, std::string(40, '\xff'));
  TempFolder folder;
  std::string bank = WriteBank(folder, "broken.bank", writer);
  for (const char *name : {"missing.txt", "broken.txt"})
  {
    MksetupRun run = RunMksetup({"bank", "cat", bank, name});
    EXPECT_EQ(run.exitCode, 1) << name;
    EXPECT_TRUE(Contains(run.err, name)) << run.err;
  }
  EXPECT_EQ(RunMksetup({"bank", "cat", folder.File("missing.bank"), "x"}).exitCode, 1);
}

TEST(MksetupBankWriter, RefusesWhatTheFormatCannotHoldAndWritesNothing)
{
  CapturingFrame frame;
  auto refused = [](const BankWriter &writer)
  {
    QOStrStream out;
    bool written = writer.Write(out);
    return !written && out.pcount() == 0;
  };
  BankWriter emptyName;
  emptyName.AddMember("", Stored, 0, 0, "");
  EXPECT_TRUE(refused(emptyName));
  BankWriter longName;
  longName.AddMember(std::string(1024, 'n'), Stored, 0, 0, "");
  EXPECT_TRUE(refused(longName));
  BankWriter zeroInName;
  zeroInName.AddMember(std::string("a\0b", 3), Stored, 0, 0, "");
  EXPECT_TRUE(refused(zeroInName));
  BankWriter emptyKey;
  emptyKey.AddProperty("", "value");
  EXPECT_TRUE(refused(emptyKey));
  EXPECT_EQ(frame.lines.size(), 4u);

  BankWriter longestName;
  longestName.AddMember(std::string(1023, 'n'), Stored, 0, 0, "");
  QOStrStream out;
  EXPECT_TRUE(longestName.Write(out));
  EXPECT_EQ(out.pcount(), longestName.HeaderSize());
}
