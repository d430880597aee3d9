#include "tests/Tools/mksetup/runMksetup.hpp"
#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <string>

TEST(MksetupCrc, PrintsOneSetupCrcLinePerFileWithUpperCaseHex)
{
  TempFolder folder;
  std::string digits = folder.Write("digits.txt", "123456789");
  std::string empty = folder.Write("empty.bin", "");
  std::string big = folder.Write("big.bin", std::string(600000, 'x'));
  MksetupRun run = RunMksetup({"crc", digits, empty});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, digits + " FC891918\n" + empty + " 00000000\n");

  // A file longer than one read chunk gives the same value as in one piece.
  MksetupRun twice = RunMksetup({"crc", big, big});
  ASSERT_EQ(twice.exitCode, 0) << twice.err;
  std::string line = twice.out.substr(0, twice.out.find('\n') + 1);
  EXPECT_EQ(twice.out, line + line);
  EXPECT_EQ(line.size(), big.size() + 10);
}

TEST(MksetupCrc, AnUnreadableFileFailsWithoutStoppingTheOthers)
{
  TempFolder folder;
  std::string digits = folder.Write("digits.txt", "123456789");
  MksetupRun run = RunMksetup({"crc", folder.File("missing.bin"), digits});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, digits + " FC891918\n");
  EXPECT_NE(run.err.find("missing.bin"), std::string::npos) << run.err;
  EXPECT_EQ(RunMksetup({"crc"}).exitCode, 2);
}
