#include "tests/Tools/mksetup/mksetupTestFiles.hpp"
#include "tests/Tools/mksetup/runMksetup.hpp"
#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
const std::vector<std::vector<std::string>> EveryCommand = {{"lzss", "encode"}, {"lzss", "decode"},  {"bank", "create"},
                                                            {"bank", "list"},   {"bank", "extract"}, {"bank", "cat"}};

bool Contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }
} // namespace

TEST(MksetupCommandLine, ToolHelpListsEveryCommandOnStdoutAndSucceeds)
{
  MksetupRun run = RunMksetup({"--help"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  for (const auto &command : EveryCommand)
    EXPECT_TRUE(Contains(run.out, "mksetup " + command[0] + " " + command[1])) << command[0] << " " << command[1];
}

TEST(MksetupCommandLine, AreaHelpListsOnlyThatAreasCommands)
{
  MksetupRun run = RunMksetup({"bank", "--help"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(Contains(run.out, "mksetup bank create"));
  EXPECT_TRUE(Contains(run.out, "mksetup bank cat"));
  EXPECT_FALSE(Contains(run.out, "lzss"));
  EXPECT_EQ(run.err, "");
}

TEST(MksetupCommandLine, EveryCommandPrintsItsUsageOnStdoutForHelpAnywhere)
{
  for (const auto &command : EveryCommand)
  {
    MksetupRun run = RunMksetup({command[0], command[1], "--help"});
    EXPECT_EQ(run.exitCode, 0) << command[1];
    EXPECT_EQ(run.out.rfind("usage: mksetup " + command[0] + " " + command[1], 0), 0u) << run.out;
    EXPECT_EQ(run.err, "");
  }
  // After arguments too, and before the check of their number.
  MksetupRun late = RunMksetup({"lzss", "decode", "12", "--help"});
  EXPECT_EQ(late.exitCode, 0);
  EXPECT_TRUE(Contains(late.out, "usage: mksetup lzss decode <size> <in> <out>"));
}

TEST(MksetupCommandLine, MissingOrUnknownCommandsAreUsageErrorsReportedOnStderr)
{
  const std::vector<std::vector<std::string>> wrong = {
      {}, {"frobnicate"}, {"bank"}, {"bank", "frobnicate"}, {"lzss", "list", "x"}, {"--frobnicate"}};
  for (const auto &arguments : wrong)
  {
    MksetupRun run = RunMksetup(arguments);
    std::string shown = arguments.empty() ? "(none)" : arguments.back();
    EXPECT_EQ(run.exitCode, 2) << shown;
    EXPECT_EQ(run.out, "") << shown;
    EXPECT_TRUE(Contains(run.err, "usage")) << shown << ": " << run.err;
  }
}

TEST(MksetupCommandLine, WrongArgumentCountsAreUsageErrors)
{
  const std::vector<std::vector<std::string>> wrong = {{"lzss", "encode", "in"},
                                                       {"lzss", "encode", "in", "out", "more"},
                                                       {"lzss", "decode", "5", "in"},
                                                       {"bank", "create", "out"},
                                                       {"bank", "list"},
                                                       {"bank", "list", "a", "b"},
                                                       {"bank", "extract", "bank"},
                                                       {"bank", "cat", "bank"}};
  for (const auto &arguments : wrong)
  {
    MksetupRun run = RunMksetup(arguments);
    EXPECT_EQ(run.exitCode, 2) << arguments[1] << " with " << arguments.size() - 2 << " arguments";
    EXPECT_TRUE(Contains(run.err, "usage: mksetup " + arguments[0] + " " + arguments[1])) << run.err;
  }
}

TEST(MksetupCommandLine, UnknownOrMalformedOptionsAreUsageErrorsThatTouchNothing)
{
  TempFolder folder;
  std::string input = folder.Write("in.txt", "text");
  std::string bank = folder.File("out.bank");
  const std::vector<std::vector<std::string>> wrong = {
      {"bank", "create", "--frobnicate", bank, folder.File("")},
      {"bank", "create", "--pack=yes", bank, folder.File("")},
      {"bank", "create", bank, folder.File(""), "--property"},
      {"bank", "create", "--property", "=value", bank, folder.File("")},
      {"bank", "create", "--property", "novalue", bank, folder.File("")},
      {"lzss", "encode", "--pack", input, folder.File("out.lzss")},
      {"lzss", "encode", "-x", input, folder.File("out.lzss")}};
  for (const auto &arguments : wrong)
  {
    MksetupRun run = RunMksetup(arguments);
    EXPECT_EQ(run.exitCode, 2) << arguments[2] << " " << arguments[3];
    EXPECT_NE(run.err, "");
  }
  EXPECT_EQ(TreeOf(folder.Path()), std::set<std::string>{"in.txt"});
}

TEST(MksetupCommandLine, FailuresExitWithOneAndSayWhyOnStderr)
{
  TempFolder folder;
  MksetupRun run = RunMksetup({"lzss", "encode", folder.File("missing.txt"), folder.File("out.lzss")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(Contains(run.err, "missing.txt")) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(Exists(folder.File("out.lzss")));
}
