// The engine: tokens, the main loop, directives, macro expansion and the
// error numbers, run on files written into a temporary folder.
#include "El/PreprocC/preprocC.hpp"
#include "El/QStream/qOStream.hpp"

#include "tests/support/capturingFrame.hpp"
#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <string>

namespace
{
struct Result
{
  bool ok = false;
  int error = -1;
  std::string out;
  std::string source;
  int line = 0;
  std::string fileName;
};

// Runs text as the file "main.csv" of a fresh folder.
Result RunText(const std::string &text)
{
  TempFolder folder;
  Result result;
  result.fileName = folder.Write("main.csv", text);
  FilePreprocessor preprocessor(false);
  QOStrStream out;
  result.ok = preprocessor.Process(&out, result.fileName.c_str());
  result.error = preprocessor.GetErrorNumber();
  result.out.assign(out.str(), static_cast<std::size_t>(out.pcount()));
  result.source = preprocessor.GetErrorSource().Data();
  result.line = preprocessor.GetErrorLine();
  return result;
}

// The output of text that must preprocess without an error.
std::string Output(const std::string &text)
{
  Result result = RunText(text);
  EXPECT_TRUE(result.ok) << "error " << result.error << " at line " << result.line;
  return result.out;
}

// The error number of text that must fail.
int Error(const std::string &text)
{
  CapturingFrame frame;
  Result result = RunText(text);
  EXPECT_FALSE(result.ok);
  return result.error;
}

// A chain of object-like macros, each using the next one twice: the last
// expands to tail, the first to 2^levels copies of it.
std::string Doubling(int levels, const std::string &tail)
{
  std::string text;
  for (int i = 0; i < levels; ++i)
    text += "#define M" + std::to_string(i) + " M" + std::to_string(i + 1) + " M" + std::to_string(i + 1) + "\n";
  text += "#define M" + std::to_string(levels) + " " + tail + "\n";
  return text + "M0\n";
}
} // namespace

// --- main loop ---------------------------------------------------------------

TEST(PreprocMainLoop, PlainTextPassesThrough)
{
  EXPECT_EQ(Output("Key,Text\nA_KEY,\"Some text\"\n"), "Key,Text\nA_KEY,\"Some text\"\n");
}

TEST(PreprocMainLoop, EmptyFileGivesNothing) { EXPECT_EQ(Output(""), ""); }

TEST(PreprocMainLoop, LeadingBlanksOfLinesAreDropped) { EXPECT_EQ(Output("   a b\n\t\t c\n  \n"), "a b\nc\n\n"); }

TEST(PreprocMainLoop, CarriageReturnsAreDropped) { EXPECT_EQ(Output("#define A 1\r\nA\r\nb\r"), "\n1\nb"); }

TEST(PreprocMainLoop, LineCommentIsDroppedAndItsNewlineKept)
{
  EXPECT_EQ(Output("a // comment\nb\n//whole line\nc"), "a \nb\n\nc");
}

TEST(PreprocMainLoop, BlockCommentKeepsItsNewlines)
{
  EXPECT_EQ(Output("a /* one\ntwo\n*/ b\n__LINE__\n"), "a \n\n b\n4\n");
}

TEST(PreprocMainLoop, BlockCommentEndsAtTheFirstStarSlash) { EXPECT_EQ(Output("a/**/b/*/ x */c\n"), "abc\n"); }

TEST(PreprocMainLoop, StringLiteralsAreCopiedUnchanged)
{
  EXPECT_EQ(Output("#define A 1\n\"A // not a comment /* nor this\" A\n"), "\n\"A // not a comment /* nor this\" 1\n");
}

TEST(PreprocMainLoop, StringLiteralsMaySpanLines)
{
  EXPECT_EQ(Output("\"first\n  #define X\nsecond\" X\n__LINE__\n"), "\"first\n  #define X\nsecond\" X\n4\n");
}

TEST(PreprocMainLoop, UnterminatedStringEndsWithTheInput) { EXPECT_EQ(Output("x \"abc"), "x \"abc"); }

TEST(PreprocMainLoop, LongWordsInsideStringsAreKeptWhole)
{
  std::string word(1000, 'w');
  EXPECT_EQ(Output("\"" + word + "\"\n"), "\"" + word + "\"\n");
}

TEST(PreprocMainLoop, ContinuationJoinsLinesAndKeepsLaterLineNumbers)
{
  EXPECT_EQ(Output("one \\\ntwo\n__LINE__\n"), "one two\n\n3\n");
  EXPECT_EQ(Output("a\\\nb\\\r\nc\nd __LINE__\n"), "abc\n\n\nd 4\n");
}

TEST(PreprocMainLoop, LineOfTheFirstLineIsOne) { EXPECT_EQ(Output("__LINE__\n\n__LINE__"), "1\n\n3"); }

TEST(PreprocMainLoop, FileIsTheNameGivenToTheRun)
{
  Result result = RunText("__FILE__\n");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.out, "\"" + result.fileName + "\"\n");
}

TEST(PreprocMainLoop, HashInsideALineIsNotADirective)
{
  EXPECT_EQ(Output("a #define b\nx ## y # z\n"), "a #define b\nx ## y # z\n");
}

TEST(PreprocMainLoop, DirectiveWordsAreNotExpanded)
{
  EXPECT_EQ(Output("include define undef ifdef ifndef else endif\n"), "include define undef ifdef ifndef else endif\n");
}

TEST(PreprocMainLoop, EightBitAndNulBytesPassThrough)
{
  const char bytes[] = "\xC3\xA9t\xC3\xA9 a\0b \xFF\n";
  std::string text(bytes, sizeof bytes - 1);
  EXPECT_EQ(Output(text), text);
}

TEST(PreprocMainLoop, LongIdentifierIsCutAndItsRestConsumed)
{
  std::string identifier(100000, 'a');
  EXPECT_EQ(Output(identifier + " b\n"), std::string(Preproc::MaxTokenLength, 'a') + " b\n");
}

TEST(PreprocMainLoop, LongIdentifierIsLookedUpByItsCutName)
{
  std::string name(Preproc::MaxTokenLength, 'n');
  EXPECT_EQ(Output("#define " + name + " hit\n" + name + std::string(5000, 'x') + "\n"), "\nhit\n");
}

TEST(PreprocMainLoop, NullOutputStillChecksTheText)
{
  TempFolder folder;
  std::string good = folder.Write("good.csv", "#define A 1\nA\n#ifdef A\nx\n#endif\n");
  std::string bad = folder.Write("bad.csv", "#define A 1\n#else\n");
  FilePreprocessor first(false);
  EXPECT_TRUE(first.Process(nullptr, good.c_str()));
  FilePreprocessor second(false);
  EXPECT_FALSE(second.Process(nullptr, bad.c_str()));
  EXPECT_EQ(second.GetErrorNumber(), Preproc::ErrorElseEndif);
}

// --- #define and expansion ----------------------------------------------------

TEST(PreprocDefine, ObjectMacroIsReplacedAtEachUse) { EXPECT_EQ(Output("#define A 1\nA+A\n"), "\n1+1\n"); }

TEST(PreprocDefine, NamesAreCaseSensitive) { EXPECT_EQ(Output("#define A 1\nA a\n"), "\n1 a\n"); }

TEST(PreprocDefine, BlanksAroundTheBodyAreLeftOut)
{
  EXPECT_EQ(Output("  #  define   A \t 1 2  \t\n[A]\n"), "\n[1 2]\n");
  EXPECT_EQ(Output("#define A+1\nA\n"), "\n+1\n");
}

TEST(PreprocDefine, EmptyBodyExpandsToNothing) { EXPECT_EQ(Output("#define E\n[E]\n"), "\n[]\n"); }

TEST(PreprocDefine, CommentsAreDroppedFromTheBody)
{
  EXPECT_EQ(Output("#define A 1 // one\n#define B 2/* two */3\nA B\n"), "\n\n1 23\n");
}

TEST(PreprocDefine, BodyStringKeepsCommentLikeText)
{
  EXPECT_EQ(Output("#define URL \"http://example.com\"\nURL\n"), "\n\"http://example.com\"\n");
}

TEST(PreprocDefine, BodyContinuesOverContinuationsAndKeepsLineNumbers)
{
  EXPECT_EQ(Output("#define LONG 1 + \\\n  2\nLONG __LINE__\n"), "\n\n1 +   2 3\n");
}

TEST(PreprocDefine, MultiLineCommentInTheBodyKeepsLineNumbers)
{
  EXPECT_EQ(Output("#define A 1 /* a\nb */ 2\nA __LINE__\n"), "\n\n1  2 3\n");
}

TEST(PreprocDefine, RedefinitionReplaces) { EXPECT_EQ(Output("#define A 1\n#define A 2\nA\n"), "\n\n2\n"); }

TEST(PreprocDefine, UndefRemoves) { EXPECT_EQ(Output("#define A 1\n#undef A\nA\n#undef NEVER\n"), "\n\nA\n\n"); }

TEST(PreprocDefine, BodyIsExpandedWhenUsed)
{
  EXPECT_EQ(Output("#define A B\n#define B 1\nA\n#undef B\nA\n"), "\n\n1\n\nB\n");
}

TEST(PreprocDefine, SelfReferenceIsWrittenUnchanged) { EXPECT_EQ(Output("#define SELF SELF+1\nSELF\n"), "\nSELF+1\n"); }

TEST(PreprocDefine, MutualReferenceStops) { EXPECT_EQ(Output("#define A B\n#define B A\nA B\n"), "\n\nA B\n"); }

TEST(PreprocDefine, FileAndLineInsideABody)
{
  Result result = RunText("#define WHERE __FILE__:__LINE__\n\nWHERE\n");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.out, "\n\n\"" + result.fileName + "\":3\n");
}

TEST(PreprocMacroCall, ArgumentsAreBound)
{
  EXPECT_EQ(Output("#define F(x,y) x*y\nF(2,3) F( 4 , 5 )\n"), "\n2*3 4*5\n");
}

TEST(PreprocMacroCall, StringizeQuotesTheArgument)
{
  EXPECT_EQ(Output("#define STR(x) #x\nSTR(abc)\n"), "\n\"abc\"\n");
  EXPECT_EQ(Output("#define STR(x) # x\nSTR( a b )\n"), "\n\"a b\"\n");
}

TEST(PreprocMacroCall, ConcatenationJoinsNeighbours)
{
  EXPECT_EQ(Output("#define CAT(a,b) a##b\nCAT(x,y)\n"), "\nxy\n");
  EXPECT_EQ(Output("#define CAT(a,b) a ## b\nCAT(x, y) CAT(1,2)\n"), "\nxy 12\n");
  EXPECT_EQ(Output("#define ID(a) pre_##a##_post\nID(mid)\n"), "\npre_mid_post\n");
}

TEST(PreprocMacroCall, HashInAnObjectBodyIsNotWritten) { EXPECT_EQ(Output("#define H #x y##z\nH\n"), "\n\"x\" yz\n"); }

TEST(PreprocMacroCall, ArgumentsAreExpandedFirst)
{
  EXPECT_EQ(Output("#define F(x) [x]\n#define ONE 1\nF(ONE) F(F(2))\n"), "\n\n[1] [[2]]\n");
}

TEST(PreprocMacroCall, ParenthesesAndStringsInArguments)
{
  EXPECT_EQ(Output("#define F(a,b) a|b\nF((1,2),\"x,y)\")\n"), "\n(1,2)|\"x,y)\"\n");
}

TEST(PreprocMacroCall, EmptyParenthesesAreACallWithoutArguments)
{
  EXPECT_EQ(Output("#define F() z\nF() F( )\n"), "\nz z\n");
  EXPECT_EQ(Output("#define G(a,b) [a|b]\nG(,)\n"), "\n[|]\n");
}

TEST(PreprocMacroCall, ParametersAreThoseOfTheBodyBeingRead)
{
  // G's body is not F's: its x stays x.
  EXPECT_EQ(Output("#define G x\n#define F(x) G x\nF(1)\n"), "\n\nx 1\n");
  // An argument read from F's body is bound in F's call.
  EXPECT_EQ(Output("#define G(y) <y>\n#define F(x) G(x)\nF(1)\n"), "\n\n<1>\n");
}

TEST(PreprocMacroCall, ArgumentsMaySpanLinesAndKeepLineNumbers)
{
  EXPECT_EQ(Output("#define F(a,b) a+b\nF(1,\n2) // c\n__LINE__\n"), "\n1+2 \n\n4\n");
}

TEST(PreprocMacroCall, MacroBeingExpandedNeedsNoParenthesis)
{
  EXPECT_EQ(Output("#define F(x) F x\nF(1)\n"), "\nF 1\n");
}

TEST(PreprocMacroCall, BlankBetweenNameAndParenthesisIsAllowed)
{
  EXPECT_EQ(Output("#define F(x) <x>\nF (1)\n"), "\n<1>\n");
}

// --- conditionals ----------------------------------------------------------------

TEST(PreprocConditional, IfdefTakesTheFirstBranchWhenDefined)
{
  EXPECT_EQ(Output("#define X\n#ifdef X\nyes\n#else\nno\n#endif\nend\n"), "\n\nyes\n\nend\n");
}

TEST(PreprocConditional, IfdefTakesTheSecondBranchWhenUndefined)
{
  EXPECT_EQ(Output("#ifdef X\nyes\n#else\nno\n#endif\nend\n"), "\nno\n\nend\n");
}

TEST(PreprocConditional, IfndefIsTheOpposite)
{
  EXPECT_EQ(Output("#ifndef X\nyes\n#else\nno\n#endif\n"), "\nyes\n\n");
  EXPECT_EQ(Output("#define X\n#ifndef X\nyes\n#endif\nend\n"), "\n\nend\n");
}

TEST(PreprocConditional, SkippedBranchDefinesNothingAndExpandsNothing)
{
  EXPECT_EQ(Output("#define F(x) x\n#ifdef X\n#define A 1\nF\n#include \"missing.csv\"\n#undef F\n#endif\nA F(2)\n"),
            "\n\nA 2\n");
}

TEST(PreprocConditional, SkippedBranchEndsAtTheFirstEndifEvenWhenNested)
{
  // The nested #ifdef is not tracked: its #endif ends the skipped branch.
  EXPECT_EQ(Output("#ifdef X\n#ifdef Y\na\n#endif\nb\n"), "\nb\n");
  // ... and its #else switches to the second branch.
  EXPECT_EQ(Output("#ifdef X\n#ifndef Y\na\n#else\nb\n#endif\nc\n"), "\nb\n\nc\n");
  // So the outer #endif then stands alone.
  EXPECT_EQ(Error("#ifdef X\n#ifdef Y\na\n#endif\nb\n#endif\n"), Preproc::ErrorElseEndif);
}

TEST(PreprocConditional, ConditionalsInATakenBranchAreTracked)
{
  EXPECT_EQ(Output("#define X\n#ifdef X\n#ifdef Y\na\n#endif\nb\n#endif\nc\n"), "\n\n\nb\n\nc\n");
}

TEST(PreprocConditional, DeepNestingNeedsNoRecursion)
{
  std::string text = "#define X\n";
  for (int i = 0; i < 20000; ++i)
    text += "#ifdef X\n";
  text += "deep\n";
  for (int i = 0; i < 20000; ++i)
    text += "#endif\n";
  Result result = RunText(text);
  EXPECT_TRUE(result.ok);
  EXPECT_NE(result.out.find("deep"), std::string::npos);
}

TEST(PreprocConditional, StringInASkippedBranchStillToggles)
{
  EXPECT_EQ(Output("#ifdef X\n\"\n#endif\n\"\n#endif\nb\n"), "\nb\n");
}

// --- error numbers -----------------------------------------------------------------

TEST(PreprocErrors, IncludeNotFollowedByQuoteOrLessIs2)
{
  EXPECT_EQ(Error("#include foo.csv\n"), Preproc::ErrorIncludeSyntax);
  EXPECT_EQ(Error("#include\n"), Preproc::ErrorIncludeSyntax);
}

TEST(PreprocErrors, UnclosedParameterListIs4)
{
  EXPECT_EQ(Error("#define F(a b) a\n"), Preproc::ErrorDefineParameters);
  EXPECT_EQ(Error("#define F(a\n"), Preproc::ErrorDefineParameters);
  EXPECT_EQ(Error("#define F(a,) a\n"), Preproc::ErrorDefineParameters);
  EXPECT_EQ(Error("#define F(1) a\n"), Preproc::ErrorDefineParameters);
  EXPECT_EQ(Error("#define F(a"), Preproc::ErrorDefineParameters);
}

TEST(PreprocErrors, ElseOrEndifWithoutConditionalIs6)
{
  EXPECT_EQ(Error("#else\n"), Preproc::ErrorElseEndif);
  EXPECT_EQ(Error("a\n#endif\n"), Preproc::ErrorElseEndif);
}

TEST(PreprocErrors, UnknownDirectiveIs7)
{
  EXPECT_EQ(Error("#pragma once\n"), Preproc::ErrorUnknownDirective);
  EXPECT_EQ(Error("#if X\n#endif\n"), Preproc::ErrorUnknownDirective);
  EXPECT_EQ(Error("#\n"), Preproc::ErrorUnknownDirective);
  EXPECT_EQ(Error("#ifdef X\n#error no\n#endif\n"), Preproc::ErrorUnknownDirective);
}

TEST(PreprocErrors, EndOfInputInArgumentsIs8)
{
  EXPECT_EQ(Error("#define F(a) a\nF(1,\n"), Preproc::ErrorEndInArguments);
  EXPECT_EQ(Error("#define F(a) a\nF((1)"), Preproc::ErrorEndInArguments);
  EXPECT_EQ(Error("#define F(a) a\nF(\"1)"), Preproc::ErrorEndInArguments);
}

TEST(PreprocErrors, TooManyArgumentsIs9)
{
  EXPECT_EQ(Error("#define F(a,b) a\nF(1,2,3)\n"), Preproc::ErrorTooManyArguments);
  EXPECT_EQ(Error("#define F() z\nF(1)\n"), Preproc::ErrorTooManyArguments);
}

TEST(PreprocErrors, MissingParenthesisOrArgumentsIs10)
{
  EXPECT_EQ(Error("#define F(x) x\nF + 1\n"), Preproc::ErrorMissingArguments);
  EXPECT_EQ(Error("#define F(x) x\nF"), Preproc::ErrorMissingArguments);
  EXPECT_EQ(Error("#define F(a,b) a\nF(1)\n"), Preproc::ErrorMissingArguments);
  EXPECT_EQ(Error("#define F(a) a\nF()\n"), Preproc::ErrorMissingArguments);
  // The parenthesis must come from the text the name was read from.
  EXPECT_EQ(Error("#define F(a) a\n#define G F\nG(1)\n"), Preproc::ErrorMissingArguments);
}

TEST(PreprocErrors, IdentifierMissingIs11)
{
  EXPECT_EQ(Error("#ifdef\n#endif\n"), Preproc::ErrorIdentifierExpected);
  EXPECT_EQ(Error("#ifndef 1\n#endif\n"), Preproc::ErrorIdentifierExpected);
  EXPECT_EQ(Error("#undef \"A\"\n"), Preproc::ErrorIdentifierExpected);
  EXPECT_EQ(Error("#define\n"), Preproc::ErrorIdentifierExpected);
}

TEST(PreprocErrors, SecondBranchNotClosedIs12)
{
  EXPECT_EQ(Error("#ifdef X\n#else\n#else\n#endif\n"), Preproc::ErrorBranchNotClosed);
  EXPECT_EQ(Error("#ifdef X\na\n#else\nb\n"), Preproc::ErrorBranchNotClosed);
}

TEST(PreprocErrors, UnterminatedIfdefFailsWithoutANumber)
{
  CapturingFrame frame;
  Result result = RunText("#ifdef X\na\n");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, Preproc::ErrorNone);
  EXPECT_EQ(result.source, result.fileName);

  result = RunText("#define X\n#ifdef X\na\n");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, Preproc::ErrorNone);
  EXPECT_EQ(result.out, "\n\na\n");
}

TEST(PreprocErrors, ExponentialExpansionIs13) { EXPECT_EQ(Error(Doubling(40, "xy")), Preproc::ErrorExpansionRunaway); }

TEST(PreprocErrors, ExponentialExpansionToNothingIs13)
{
  // Nothing is written, but the work still counts.
  EXPECT_EQ(Error(Doubling(40, "")), Preproc::ErrorExpansionRunaway);
}

TEST(PreprocErrors, ExpansionJustUnderTheLimitSucceeds)
{
  std::string out = Output(Doubling(10, "x"));
  EXPECT_EQ(out.size(), 11u + 1024u * 2u);
}

TEST(PreprocErrors, EachTopLevelUseHasItsOwnBudget)
{
  // Together the uses cost more than one use may; each alone stays under.
  std::string text = Doubling(12, "x");
  for (int i = 0; i < 24; ++i)
    text += "M0\n";
  Result result = RunText(text);
  EXPECT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.out.size(), 13u + 25u * (4096u * 2u));
}

TEST(PreprocErrors, NestingDeeperThanTheLimitIs13)
{
  std::string call = "1";
  for (int i = 0; i < Preproc::MaxExpansionDepth + 10; ++i)
    call = "F(" + call + ")";
  EXPECT_EQ(Error("#define F(x) x\n" + call + "\n"), Preproc::ErrorExpansionRunaway);

  std::string shallow = "1";
  for (int i = 0; i < Preproc::MaxExpansionDepth - 10; ++i)
    shallow = "F(" + shallow + ")";
  EXPECT_EQ(Output("#define F(x) x\n" + shallow + "\n"), "\n1\n");
}

TEST(PreprocErrors, HugeArgumentsAreCountedToo)
{
  // Each level doubles its argument: 2^40 bytes if nothing stopped it.
  std::string call = "x";
  for (int i = 0; i < 40; ++i)
    call = "D(" + call + ")";
  EXPECT_EQ(Error("#define D(a) a a\n" + call + "\n"), Preproc::ErrorExpansionRunaway);
}

TEST(PreprocErrors, FirstErrorStopsAndKeepsItsSourceAndLine)
{
  CapturingFrame frame;
  Result result = RunText("a\nb\n  #foo\n#else\n");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, Preproc::ErrorUnknownDirective);
  EXPECT_EQ(result.source, result.fileName);
  EXPECT_EQ(result.line, 3);
  EXPECT_EQ(result.out, "a\nb\n");
}

TEST(PreprocErrors, ErrorLineIsThatOfTheFailingDirective)
{
  CapturingFrame frame;
  Result result = RunText("\n\n#ifdef\n\n");
  EXPECT_EQ(result.error, Preproc::ErrorIdentifierExpected);
  EXPECT_EQ(result.line, 3);
  result = RunText("#define F(a) a\nF(1,\n\n");
  EXPECT_EQ(result.error, Preproc::ErrorEndInArguments);
  EXPECT_EQ(result.line, 3);
}

TEST(PreprocErrors, ErrorsAreNotMessages)
{
  CapturingFrame frame;
  Result result = RunText("#else\n");
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(frame.lines.empty());
}
