#include "tests/Tools/mksetup/mksetupTestFiles.hpp"
#include "tests/Tools/mksetup/runMksetup.hpp"
#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <string>

namespace
{
bool Contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

// A table with three languages; texts exercise the listing's escapes.
const std::string Table = "COMMENT,before the language row,\n"
                          "LANGUAGE,English,German,French\n"
                          "ZETA,zeta,Zeta-de,zeta-fr\n"
                          "Alpha,alpha,\"zwei\r\nZeilen, \"\"zitiert\"\"\",alpha-fr\n"
                          "BETA,beta,back\\slash\ttab\x01,beta-fr\n"
                          "alpha,again,nochmal,encore\n"
                          "NAME,Game,Spiel $ZETA,Jeu\n";
} // namespace

TEST(MksetupPreprocess, WritesTheExpandedTextWithIncludesFromTheIncludingFilesFolder)
{
  TempFolder folder;
  WriteFileAt(folder.Path() / "sub" / "inner.csv", "INNER,X\n");
  std::string main = (folder.Path() / "sub" / "main.csv").string();
  WriteFileAt(main, "#define X expanded\n"
                    "first\n"
                    "#include \"inner.csv\"\n"
                    "last X // comment\n");
  MksetupRun run = RunMksetup({"preprocess", main});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "\nfirst\nINNER,expanded\n\nlast expanded \n");
  EXPECT_EQ(run.err, "");

  MksetupRun marked = RunMksetup({"preprocess", "--line-markers", main});
  ASSERT_EQ(marked.exitCode, 0) << marked.err;
  EXPECT_TRUE(Contains(marked.out, "#line 1 \"" + main + "\"\n")) << marked.out;
  EXPECT_TRUE(Contains(marked.out, "inner.csv\"\nINNER,expanded\n")) << marked.out;
  EXPECT_TRUE(Contains(marked.out, "#line 3 \"" + main + "\"\n")) << marked.out;
}

TEST(MksetupPreprocess, FailureReportsTheErrorAndWritesNothing)
{
  TempFolder folder;
  std::string file = folder.Write("bad.csv", "fine\n#bogus\n");
  MksetupRun run = RunMksetup({"preprocess", file});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(Contains(run.err, "Preprocessor failed on file " + file + " - error 7")) << run.err;

  MksetupRun missing = RunMksetup({"preprocess", folder.File("missing.csv")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_TRUE(Contains(missing.err, "Cannot include file")) << missing.err;
}

TEST(MksetupStrings, ListsTheLanguageColumnSortedWithEscapesAndWarnings)
{
  TempFolder folder;
  std::string table = folder.Write("setup.csv", Table);
  MksetupRun run = RunMksetup({"strings", table, "german"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "Alpha\tzwei\\nZeilen, \"zitiert\"\n"
                     "BETA\tback\\\\slash\\ttab\\x01\n"
                     "NAME\tSpiel $ZETA\n"
                     "ZETA\tZeta-de\n");
  EXPECT_TRUE(Contains(run.err, "Item alpha listed twice")) << run.err;
}

TEST(MksetupStrings, UnknownLanguageFallsBackToTheFirstColumnWithAWarning)
{
  TempFolder folder;
  std::string table = folder.Write("setup.csv", Table);
  MksetupRun run = RunMksetup({"strings", table, "Czech"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(Contains(run.out, "ZETA\tzeta\n")) << run.out;
  EXPECT_TRUE(Contains(run.err, "Unsupported language Czech in stringtable")) << run.err;
}

TEST(MksetupStrings, MissingTableOrWrongArgumentsFail)
{
  TempFolder folder;
  EXPECT_EQ(RunMksetup({"strings", folder.File("none.csv"), "English"}).exitCode, 1);
  EXPECT_EQ(RunMksetup({"strings", folder.File("none.csv")}).exitCode, 2);
  EXPECT_EQ(RunMksetup({"text", "expand", folder.File("none.csv"), "English"}).exitCode, 2);
}

TEST(MksetupTextExpand, ExpandsNestedKeysAndLeavesTheProductNameAlone)
{
  TempFolder folder;
  std::string table = folder.Write("setup.csv", Table);
  MksetupRun run = RunMksetup({"text", "expand", table, "German", "Install $NAME to %0 for $$ and 100%"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "Install Spiel Zeta-de to %0 for  ... not localized! ... not localized! and 100%\n");

  MksetupRun missing = RunMksetup({"text", "expand", table, "German", "$MISSING"});
  ASSERT_EQ(missing.exitCode, 0) << missing.err;
  EXPECT_EQ(missing.out, "MISSING ... not localized!\n");
  EXPECT_TRUE(Contains(missing.err, "String MISSING not found")) << missing.err;
}
