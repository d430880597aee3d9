// Cross-checks against GCC's cpp on the subset where the two preprocessors
// agree: object-like and function-like macros, # and ##, #ifdef/#ifndef/#else,
// comments, continuations and includes. Outputs are compared after blank runs
// are collapsed and empty lines dropped, since the two keep different blanks
// and newlines.
#include "El/PreprocC/preprocC.hpp"
#include "El/QStream/qOStream.hpp"

#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace
{
bool HaveCpp()
{
#ifdef _WIN32
  return false;
#else
  static const bool have = std::system("command -v cpp >/dev/null 2>&1") == 0;
  return have;
#endif
}

std::string Normalize(const std::string &text)
{
  std::istringstream lines(text);
  std::string line, result;
  while (std::getline(lines, line))
  {
    std::string collapsed;
    for (char c : line)
    {
      bool blank = c == ' ' || c == '\t';
      if (blank && (collapsed.empty() || collapsed.back() == ' '))
        continue;
      collapsed += blank ? ' ' : c;
    }
    while (!collapsed.empty() && collapsed.back() == ' ')
      collapsed.pop_back();
    if (!collapsed.empty())
      result += collapsed + "\n";
  }
  return result;
}

std::string Ours(const std::string &name)
{
  FilePreprocessor preprocessor(false);
  QOStrStream out;
  bool ok = preprocessor.Process(&out, name.c_str());
  EXPECT_TRUE(ok) << "error " << preprocessor.GetErrorNumber();
  return std::string(out.str(), static_cast<std::size_t>(out.pcount()));
}

std::string Cpp(const TempFolder &folder, const std::string &name)
{
  std::string result = folder.File("cpp.out");
  std::string command = "cpp -P -undef -nostdinc '" + name + "' > '" + result + "' 2>/dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return TempFolder::Read(result);
}

// Runs main (with the other files beside it) through both and compares.
void ExpectSameAsCpp(const std::string &main, const std::vector<std::pair<std::string, std::string>> &others = {})
{
  TempFolder folder;
  for (const auto &other : others)
    folder.Write(other.first, other.second);
  std::string name = folder.Write("main.txt", main);
  std::string ours = Normalize(Ours(name));
  std::string theirs = Normalize(Cpp(folder, name));
  EXPECT_EQ(ours, theirs) << "input:\n" << main;
  EXPECT_FALSE(ours.empty());
}
} // namespace

class CppCrossCheck : public ::testing::Test
{
protected:
  void SetUp() override
  {
    if (!HaveCpp())
      GTEST_SKIP() << "cpp is not available";
  }
};

TEST_F(CppCrossCheck, ObjectLikeMacros)
{
  ExpectSameAsCpp("#define A 1\n#define B A + A\n#define EMPTY\nB [EMPTY] A\nA_not a\n");
  ExpectSameAsCpp("#define X Y\n#define Y Z\n#define Z done\nX Y Z\n#undef Y\nX\n");
}

TEST_F(CppCrossCheck, SelfAndMutualReference)
{
  ExpectSameAsCpp("#define SELF SELF+1\nSELF\n#define P Q\n#define Q P\nP Q\n");
}

TEST_F(CppCrossCheck, FunctionLikeMacros)
{
  ExpectSameAsCpp("#define F(x,y) x*y\nF(2,3) F( 4 , 5 )\n#define G() g\nG()\n");
  ExpectSameAsCpp("#define F(x) [x]\n#define ONE 1\nF(ONE) F(F(2)) F((a,b))\n");
  ExpectSameAsCpp("#define PAIR(a,b) {a;b}\nPAIR(x,\n y)\nafter\n");
}

TEST_F(CppCrossCheck, StringizeAndConcatenate)
{
  ExpectSameAsCpp("#define S(x) #x\nS(abc) S( two words )\n");
  ExpectSameAsCpp("#define C(a,b) a##b\n#define D(a,b) a ## b ## _end\nC(x,y) C(foo, bar) D(p,q)\n");
  ExpectSameAsCpp("#define NAME(n) key_##n = #n\nNAME(title)\n");
}

TEST_F(CppCrossCheck, Conditionals)
{
  ExpectSameAsCpp("#define ON\n#ifdef ON\non\n#else\noff\n#endif\n#ifndef ON\nnot\n#else\nyes\n#endif\n");
  ExpectSameAsCpp("#define A\n#ifdef A\n#ifdef B\nab\n#else\na_only\n#endif\n#endif\n#ifdef B\nb\n#endif\nend\n");
  ExpectSameAsCpp("#ifndef GUARD\n#define GUARD\nguarded\n#endif\n#ifndef GUARD\ntwice\n#endif\n");
}

TEST_F(CppCrossCheck, CommentsAndStrings)
{
  ExpectSameAsCpp("a /* c */ b // d\nc\n/* multi\nline */\nd\n\"A // kept /* too */\"\n");
  ExpectSameAsCpp("#define A 1 // comment\n#define URL \"http://x\"\nA URL\n");
}

TEST_F(CppCrossCheck, ContinuationsAndLineNumbers)
{
  ExpectSameAsCpp("#define LONG 1 + \\\n 2\nLONG\nline __LINE__\n\nline __LINE__\n");
}

TEST_F(CppCrossCheck, Includes)
{
  ExpectSameAsCpp("#include \"defs.h\"\nTITLE(Setup) VERSION\n#include \"body.txt\"\n",
                  {{"defs.h", "#define TITLE(t) title_##t\n#define VERSION 2\n"}, {"body.txt", "body VERSION\n"}});
}

TEST_F(CppCrossCheck, CsvLikeTable)
{
  ExpectSameAsCpp("#define PRODUCT \"Game\"\n#define KEY(k) SETUP_##k\n"
                  "LANGUAGE,English,Czech\n"
                  "KEY(TITLE),PRODUCT,PRODUCT\n"
                  "#ifdef DEMO\nKEY(DEMO),\"Demo\",\"Demo\"\n#endif\n");
}
