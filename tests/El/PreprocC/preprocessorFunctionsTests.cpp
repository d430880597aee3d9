// The hook through which the stringtable asks for preprocessing: the copying
// base, the preprocessing implementation and its failure messages, and the
// process-wide hook.
#include "El/PreprocC/preprocessorFunctions.hpp"
#include "El/QStream/qOStream.hpp"
#include "El/QStream/qbStream.hpp"

#include "tests/support/capturingFrame.hpp"
#include "tests/support/memoryBank.hpp"
#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace
{
// Records the lines of the error channel apart from the others.
class ChannelFrame : public CapturingFrame
{
public:
  void ErrorMessage(const char *format, va_list argptr) override
  {
    char line[2048];
    std::vsnprintf(line, sizeof line, format, argptr);
    errors.emplace_back(line);
  }

  std::vector<std::string> errors;
};

std::string Text(const QOStrStream &out) { return std::string(out.str(), static_cast<std::size_t>(out.pcount())); }

const char Source[] = "#define A 1\n#include \"b.csv\"\nA\n";
} // namespace

// --- the copying base -------------------------------------------------------------

TEST(PreprocessorFunctionsBase, CopiesTheFileUnchanged)
{
  TempFolder folder;
  std::string name = folder.Write("a.csv", Source);
  PreprocessorFunctions functions;
  QOStrStream out;
  EXPECT_TRUE(functions.Preprocess(out, name.c_str(), true));
  EXPECT_EQ(Text(out), Source);
}

TEST(PreprocessorFunctionsBase, CopiesTheBankMemberUnchanged)
{
  MemoryBank memory({{"a.csv", Source}, {"b.csv", "b"}});
  PreprocessorFunctions functions;
  QOStrStream out;
  EXPECT_TRUE(functions.Preprocess(out, memory.bank, "a.csv", false));
  EXPECT_EQ(Text(out), Source);
}

TEST(PreprocessorFunctionsBase, MissingFileOrMemberFails)
{
  TempFolder folder;
  MemoryBank memory({{"a.csv", Source}});
  PreprocessorFunctions functions;
  QOStrStream out;
  EXPECT_FALSE(functions.Preprocess(out, folder.File("none.csv").c_str(), false));
  EXPECT_FALSE(functions.Preprocess(out, memory.bank, "none.csv", false));
  EXPECT_EQ(out.pcount(), 0u);
}

// --- the preprocessing hook ---------------------------------------------------------

TEST(CPreprocessorFunctions, PreprocessesAFile)
{
  TempFolder folder;
  std::string name = folder.Write("a.csv", Source);
  folder.Write("b.csv", "b\n");
  CPreprocessorFunctions functions;
  QOStrStream out;
  EXPECT_TRUE(functions.Preprocess(out, name.c_str(), false));
  EXPECT_EQ(Text(out), "\nb\n\n1\n");
}

TEST(CPreprocessorFunctions, PassesTheLineMarkerFlag)
{
  TempFolder folder;
  std::string name = folder.Write("a.csv", "x\n");
  CPreprocessorFunctions functions;
  QOStrStream out;
  EXPECT_TRUE(functions.Preprocess(out, name.c_str(), true));
  EXPECT_EQ(Text(out), "#line 1 \"" + name + "\"\nx\n");
}

TEST(CPreprocessorFunctions, PreprocessesABankMember)
{
  MemoryBank memory({{"a.csv", Source}, {"b.csv", "b\n"}});
  CPreprocessorFunctions functions;
  QOStrStream out;
  EXPECT_TRUE(functions.Preprocess(out, memory.bank, "a.csv", true));
  EXPECT_EQ(Text(out), "#line 1 \"a.csv\"\n\n#line 1 \"b.csv\"\nb\n#line 2 \"a.csv\"\n\n1\n");
}

TEST(CPreprocessorFunctions, FailureNamesTheSourceAndLine)
{
  ChannelFrame frame;
  TempFolder folder;
  std::string name = folder.Write("a.csv", "#include \"b.csv\"\n");
  std::string included = folder.Write("b.csv", "ok\n\n#bogus\n");
  CPreprocessorFunctions functions;
  QOStrStream out;
  EXPECT_FALSE(functions.Preprocess(out, name.c_str(), false));
  ASSERT_EQ(frame.errors.size(), 1u);
  EXPECT_EQ(frame.errors[0], "Preprocessor failed on file " + name + " - error 7 (source " + included + ", line 3).");
  EXPECT_EQ(Text(out), "ok\n\n");
}

TEST(CPreprocessorFunctions, UnterminatedConditionalFailsWithErrorZero)
{
  ChannelFrame frame;
  TempFolder folder;
  std::string name = folder.Write("a.csv", "#ifdef X\n\n");
  CPreprocessorFunctions functions;
  QOStrStream out;
  EXPECT_FALSE(functions.Preprocess(out, name.c_str(), false));
  ASSERT_EQ(frame.errors.size(), 1u);
  EXPECT_EQ(frame.errors[0], "Preprocessor failed on file " + name + " - error 0 (source " + name + ", line 2).");
}

TEST(CPreprocessorFunctions, FailureWithoutASourceIsTheShortForm)
{
  ChannelFrame frame;
  TempFolder folder;
  std::string name = folder.File("none.csv");
  CPreprocessorFunctions functions;
  QOStrStream out;
  EXPECT_FALSE(functions.Preprocess(out, name.c_str(), false));
  ASSERT_EQ(frame.errors.size(), 3u);
  EXPECT_EQ(frame.errors[0], "Include file " + name + " not found.");
  EXPECT_EQ(frame.errors[1], "Cannot include file " + name);
  EXPECT_EQ(frame.errors[2], "Preprocessor failed on file " + name + " - error 1.");
}

TEST(CPreprocessorFunctions, BankFailureMessages)
{
  ChannelFrame frame;
  MemoryBank memory({{"a.csv", "a\n#include \"gone.csv\"\n"}, {"b.csv", ""}});
  CPreprocessorFunctions functions;
  QOStrStream out;
  EXPECT_FALSE(functions.Preprocess(out, memory.bank, "a.csv", false));
  EXPECT_FALSE(functions.Preprocess(out, memory.bank, "missing.csv", false));
  ASSERT_EQ(frame.errors.size(), 6u);
  EXPECT_EQ(frame.errors[2], "Preprocessor failed on file a.csv - error 1 (source a.csv, line 2).");
  EXPECT_EQ(frame.errors[5], "Preprocessor failed on file missing.csv - error 1.");
}

TEST(CPreprocessorFunctions, NothingPersistsBetweenFiles)
{
  TempFolder folder;
  std::string first = folder.Write("a.csv", "#define A 1\n");
  std::string second = folder.Write("b.csv", "A\n");
  CPreprocessorFunctions functions;
  QOStrStream out;
  EXPECT_TRUE(functions.Preprocess(out, first.c_str(), false));
  EXPECT_TRUE(functions.Preprocess(out, second.c_str(), false));
  EXPECT_EQ(Text(out), "\nA\n");
}

// --- the process-wide hook ----------------------------------------------------------

TEST(GPreprocessorFunctions, StartsAsTheCopyingBase)
{
  TempFolder folder;
  std::string name = folder.Write("a.csv", Source);
  QOStrStream out;
  EXPECT_TRUE(GPreprocessorFunctions()->Preprocess(out, name.c_str(), false));
  EXPECT_EQ(Text(out), Source);
}

TEST(GPreprocessorFunctions, SetInstallsAndAnswersThePrevious)
{
  PreprocessorFunctions *base = GPreprocessorFunctions();
  CPreprocessorFunctions functions;
  EXPECT_EQ(SetPreprocessorFunctions(&functions), base);
  EXPECT_EQ(GPreprocessorFunctions(), &functions);

  TempFolder folder;
  std::string name = folder.Write("a.csv", "#define A 2\nA\n");
  QOStrStream out;
  EXPECT_TRUE(GPreprocessorFunctions()->Preprocess(out, name.c_str(), false));
  EXPECT_EQ(Text(out), "\n2\n");

  EXPECT_EQ(SetPreprocessorFunctions(nullptr), &functions);
  EXPECT_EQ(GPreprocessorFunctions(), base);
}
