// The file and bank variants: include resolution, the include stack, #line
// markers, byte-order marks, and refusing cycles and deep nesting.
#include "El/PreprocC/preprocC.hpp"
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
// Records which channel each line came through.
class ChannelFrame : public CapturingFrame
{
public:
  void ErrorMessage(const char *format, va_list argptr) override
  {
    char line[2048];
    std::vsnprintf(line, sizeof line, format, argptr);
    errors.emplace_back(line);
  }
  bool HasError(const std::string &text) const
  {
    for (const std::string &line : errors)
      if (line == text)
        return true;
    return false;
  }

  std::vector<std::string> errors;
};

struct Result
{
  bool ok = false;
  int error = -1;
  std::string out;
  std::string source;
  int line = 0;
};

Result Process(Preproc &preprocessor, const std::string &name)
{
  Result result;
  QOStrStream out;
  result.ok = preprocessor.Process(&out, name.c_str());
  result.error = preprocessor.GetErrorNumber();
  result.out.assign(out.str(), static_cast<std::size_t>(out.pcount()));
  result.source = preprocessor.GetErrorSource().Data();
  result.line = preprocessor.GetErrorLine();
  return result;
}

Result ProcessFile(const std::string &name, bool lineMarkers = false)
{
  FilePreprocessor preprocessor(lineMarkers);
  return Process(preprocessor, name);
}

// The folder part of a name: up to and including its last separator.
std::string FolderOf(const std::string &name)
{
  std::size_t last = name.find_last_of("\\/");
  return last == std::string::npos ? std::string() : name.substr(0, last + 1);
}

std::string Utf16Le(const std::u16string &text)
{
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text)
  {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

} // namespace

// --- resolution and the include stack ---------------------------------------

TEST(PreprocInclude, IncludedTextTakesThePlaceOfTheDirective)
{
  TempFolder folder;
  std::string a = folder.Write("a.csv", "first\n#include \"b.csv\"\nlast\n");
  folder.Write("b.csv", "middle\n");
  Result result = ProcessFile(a);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.out, "first\nmiddle\n\nlast\n");
}

TEST(PreprocInclude, AngleBracketsWorkLikeQuotes)
{
  TempFolder folder;
  std::string a = folder.Write("a.csv", "  #  include <b.csv>\n");
  folder.Write("b.csv", "b");
  Result result = ProcessFile(a);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.out, "b\n");
}

TEST(PreprocInclude, NamesResolveAgainstTheIncludingFilesFolder)
{
  TempFolder folder;
  std::filesystem::create_directories(folder.Path() / "sub" / "deeper");
  std::string a = folder.Write("a.csv", "#include \"sub/b.csv\"\n");
  folder.Write("sub/b.csv", "in b\n#include \"deeper\\c.csv\"\n");
  folder.Write("sub/deeper/c.csv", "in c\n");
  folder.Write("c.csv", "wrong c\n");
  Result result = ProcessFile(a);
  EXPECT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.out, "in b\nin c\n\n\n");
}

TEST(PreprocInclude, MacrosDefinedInAnIncludeStayDefined)
{
  TempFolder folder;
  std::string a = folder.Write("a.csv", "#include \"defs.h\"\nA B\n");
  folder.Write("defs.h", "#define A 1\n#define B(x) x\n#undef B\n");
  Result result = ProcessFile(a);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.out, "\n\n\n\n1 B\n");
}

TEST(PreprocInclude, FileAndLineFollowTheIncludedFile)
{
  TempFolder folder;
  std::string a = folder.Write("a.csv", "\n#include \"b.csv\"\n__FILE__ __LINE__\n");
  folder.Write("b.csv", "\n\n__FILE__ __LINE__\n");
  Result result = ProcessFile(a);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.out, "\n\n\n\"b.csv\" 3\n\n\"" + a + "\" 3\n");
}

TEST(PreprocInclude, IncludeInASkippedBranchIsNotOpened)
{
  ChannelFrame frame;
  TempFolder folder;
  std::string a = folder.Write("a.csv", "#ifdef X\n#include \"missing.csv\"\n#endif\nok\n");
  Result result = ProcessFile(a);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.out, "\nok\n");
  EXPECT_TRUE(frame.errors.empty());
}

TEST(PreprocInclude, ConditionalsDoNotCrossFiles)
{
  ChannelFrame frame;
  TempFolder folder;
  std::string a = folder.Write("a.csv", "#define X\n#ifdef X\n#include \"b.csv\"\n#endif\n");
  folder.Write("b.csv", "b\n#endif\n");
  Result result = ProcessFile(a);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, Preproc::ErrorElseEndif);
  EXPECT_EQ(result.source, FolderOf(a) + "b.csv");
  EXPECT_EQ(result.line, 2);
}

TEST(PreprocInclude, UnterminatedIfdefInAnIncludeFailsWithoutANumber)
{
  ChannelFrame frame;
  TempFolder folder;
  std::string a = folder.Write("a.csv", "#include \"b.csv\"\n#endif\n");
  folder.Write("b.csv", "#ifdef X\n");
  Result result = ProcessFile(a);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, Preproc::ErrorNone);
  EXPECT_EQ(result.source, FolderOf(a) + "b.csv");
}

TEST(PreprocInclude, ErrorInAnIncludeNamesThatFileAndLine)
{
  ChannelFrame frame;
  TempFolder folder;
  std::string a = folder.Write("a.csv", "a\n#include \"b.csv\"\n");
  folder.Write("b.csv", "one\ntwo\n#define F(x) x\nF\n");
  Result result = ProcessFile(a);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, Preproc::ErrorMissingArguments);
  EXPECT_EQ(result.source, FolderOf(a) + "b.csv");
  EXPECT_EQ(result.line, 4);
}

// --- missing and refused files --------------------------------------------------

TEST(PreprocInclude, MissingIncludeIsReportedTwiceAndIsError1)
{
  ChannelFrame frame;
  TempFolder folder;
  std::string a = folder.Write("a.csv", "a\n#include \"nothere.csv\"\nnot reached\n");
  Result result = ProcessFile(a);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, Preproc::ErrorCannotOpen);
  EXPECT_EQ(result.source, a);
  EXPECT_EQ(result.line, 2);
  EXPECT_EQ(result.out, "a\n");
  ASSERT_EQ(frame.errors.size(), 2u);
  EXPECT_EQ(frame.errors[0], "Include file " + FolderOf(a) + "nothere.csv not found.");
  EXPECT_EQ(frame.errors[1], "Cannot include file nothere.csv");
}

TEST(PreprocInclude, MissingFirstFileHasNoSource)
{
  ChannelFrame frame;
  TempFolder folder;
  std::string name = folder.File("none.csv");
  Result result = ProcessFile(name);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, Preproc::ErrorCannotOpen);
  EXPECT_EQ(result.source, "");
  EXPECT_TRUE(frame.HasError("Include file " + name + " not found."));
  EXPECT_TRUE(frame.HasError("Cannot include file " + name));
}

TEST(PreprocInclude, EmptyNameIsAnAssertionFailure)
{
  ChannelFrame frame;
  TempFolder folder;
  std::string a = folder.Write("a.csv", "#include \"\"\n");
  Result result = ProcessFile(a);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, Preproc::ErrorCannotOpen);
  ASSERT_EQ(frame.errors.size(), 2u);
  EXPECT_NE(frame.errors[0].find("El/PreprocC/preprocC("), std::string::npos) << frame.errors[0];
  EXPECT_NE(frame.errors[0].find("Assertion failed 'filename.GetLength() > 0'"), std::string::npos);
  EXPECT_EQ(frame.errors[1], "Cannot include file ");
}

TEST(PreprocInclude, LeadingSeparatorIsDroppedAndDoubleBackslashKept)
{
  ChannelFrame frame;
  TempFolder folder;
  std::string a = folder.Write("a.csv", "#include \"/pp-no-such-file.csv\"\n");
  EXPECT_EQ(ProcessFile(a).error, Preproc::ErrorCannotOpen);
  EXPECT_TRUE(frame.HasError("Include file pp-no-such-file.csv not found."));

  std::string b = folder.Write("b.csv", "#include \"\\\\pp-no-server\\share\\x.csv\"\n");
  EXPECT_EQ(ProcessFile(b).error, Preproc::ErrorCannotOpen);
  EXPECT_TRUE(frame.HasError("Include file \\\\pp-no-server\\share\\x.csv not found."));
}

TEST(PreprocInclude, LongNameIsCutWithoutOverrun)
{
  ChannelFrame frame;
  TempFolder folder;
  std::string longName(100000, 'n');
  std::string a = folder.Write("a.csv", "#include \"" + longName + "\"\nafter\n");
  Result result = ProcessFile(a);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, Preproc::ErrorCannotOpen);
  EXPECT_TRUE(frame.HasError("Cannot include file " + std::string(Preproc::MaxTokenLength, 'n')));
}

TEST(PreprocInclude, LongNameOfAnExistingFileIsFoundByItsCutName)
{
  TempFolder folder;
  std::string cut(Preproc::MaxTokenLength - 4, 'f');
  folder.Write(cut + ".csv", "found\n");
  std::string a = folder.Write("a.csv", "#include \"" + cut + ".csv" + std::string(500, 'x') + "\"\n");
  Result result = ProcessFile(a);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.out, "found\n\n");
}

TEST(PreprocInclude, FileIncludingItselfIsRefused)
{
  ChannelFrame frame;
  TempFolder folder;
  std::string a = folder.Write("a.csv", "a\n#include \"a.csv\"\n");
  Result result = ProcessFile(a);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, Preproc::ErrorCannotOpen);
  EXPECT_TRUE(frame.HasError("Cannot include file a.csv"));
}

TEST(PreprocInclude, IncludeCycleIsRefused)
{
  ChannelFrame frame;
  TempFolder folder;
  std::string a = folder.Write("a.csv", "#include \"b.csv\"\n");
  folder.Write("b.csv", "#include \"c.csv\"\n");
  folder.Write("c.csv", "#include \"b.csv\"\n");
  Result result = ProcessFile(a);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, Preproc::ErrorCannotOpen);
  EXPECT_EQ(result.source, FolderOf(a) + "c.csv");
  EXPECT_TRUE(frame.HasError("Cannot include file b.csv"));
}

TEST(PreprocInclude, SameFileMayBeIncludedAgainAfterItClosed)
{
  TempFolder folder;
  std::string a = folder.Write("a.csv", "#include \"b.csv\"\n#include \"b.csv\"\n");
  folder.Write("b.csv", "b\n");
  Result result = ProcessFile(a);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.out, "b\n\nb\n\n");
}

TEST(PreprocInclude, NestingUpToTheDepthLimitWorks)
{
  TempFolder folder;
  for (int i = 0; i < Preproc::MaxIncludeDepth - 1; ++i)
    folder.Write("f" + std::to_string(i) + ".csv", "#include \"f" + std::to_string(i + 1) + ".csv\"\n");
  folder.Write("f" + std::to_string(Preproc::MaxIncludeDepth - 1) + ".csv", "bottom");
  Result result = ProcessFile(folder.File("f0.csv"));
  EXPECT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.out, "bottom" + std::string(Preproc::MaxIncludeDepth - 1, '\n'));
}

TEST(PreprocInclude, NestingBeyondTheDepthLimitIsRefused)
{
  ChannelFrame frame;
  TempFolder folder;
  for (int i = 0; i < 40; ++i)
    folder.Write("f" + std::to_string(i) + ".csv", "#include \"f" + std::to_string(i + 1) + ".csv\"\n");
  Result result = ProcessFile(folder.File("f0.csv"));
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, Preproc::ErrorCannotOpen);
  std::string refused = "f" + std::to_string(Preproc::MaxIncludeDepth) + ".csv";
  EXPECT_TRUE(frame.HasError("Cannot include file " + refused));
  EXPECT_EQ(result.source, folder.File("f" + std::to_string(Preproc::MaxIncludeDepth - 1) + ".csv"));
}

// --- #line markers -------------------------------------------------------------

TEST(PreprocLineMarkers, IncludeOnTheThirdLine)
{
  TempFolder folder;
  std::string a = folder.Write("a.csv", "A1\nA2\n#include \"b.csv\"\nA4\n");
  folder.Write("b.csv", "B1\nB2\n");
  std::string b = FolderOf(a) + "b.csv";
  Result result = ProcessFile(a, true);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.out, "#line 1 \"" + a + "\"\nA1\nA2\n#line 1 \"" + b + "\"\nB1\nB2\n#line 3 \"" + a + "\"\n\nA4\n");
}

TEST(PreprocLineMarkers, MarkerAfterAFileWithoutFinalNewlineIsAWholeLine)
{
  TempFolder folder;
  std::string a = folder.Write("a.csv", "#include \"b.csv\"\nA2");
  folder.Write("b.csv", "B1");
  std::string b = FolderOf(a) + "b.csv";
  Result result = ProcessFile(a, true);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.out, "#line 1 \"" + a + "\"\n#line 1 \"" + b + "\"\nB1\n#line 1 \"" + a + "\"\n\nA2");
}

TEST(PreprocLineMarkers, NestedIncludesAndContinuations)
{
  TempFolder folder;
  std::string a = folder.Write("a.csv", "x \\\ny\n#include \"b.csv\"\nz\n");
  folder.Write("b.csv", "\n#include \"c.csv\"\n");
  folder.Write("c.csv", "c\n");
  std::string b = FolderOf(a) + "b.csv", c = FolderOf(a) + "c.csv";
  Result result = ProcessFile(a, true);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.out, "#line 1 \"" + a + "\"\nx y\n\n#line 1 \"" + b + "\"\n\n#line 1 \"" + c + "\"\nc\n#line 2 \"" +
                            b + "\"\n\n#line 3 \"" + a + "\"\n\nz\n");
}

TEST(PreprocLineMarkers, NoMarkersWithoutTheFlag)
{
  TempFolder folder;
  std::string a = folder.Write("a.csv", "#include \"b.csv\"\n");
  folder.Write("b.csv", "b\n");
  EXPECT_EQ(ProcessFile(a, false).out, "b\n\n");
}

// --- byte-order marks ------------------------------------------------------------

TEST(PreprocByteOrderMark, Utf8MarkIsSkipped)
{
  TempFolder folder;
  std::string a = folder.Write("a.csv", "\xEF\xBB\xBF#define A \xC3\xA9\nA\n");
  Result result = ProcessFile(a);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.out, "\n\xC3\xA9\n");
}

TEST(PreprocByteOrderMark, Utf16LittleEndianIsReadAsUtf8)
{
  TempFolder folder;
  std::string a = folder.Write("a.csv", Utf16Le(u"#define A \u00e9\u20ac\r\nA \U0001F600\r\n#include \"b.csv\"\r\n"));
  folder.Write("b.csv", Utf16Le(u"\u0436"));
  Result result = ProcessFile(a);
  EXPECT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.out, "\n\xC3\xA9\xE2\x82\xAC \xF0\x9F\x98\x80\n\xD0\xB6\n");
}

TEST(PreprocByteOrderMark, BrokenUtf16BecomesReplacementCharacters)
{
  TempFolder folder;
  // A lone high surrogate, a lone low surrogate and an odd last byte.
  const char broken[] = "\x00\xD8"
                        "b\0"
                        "\x00\xDC"
                        "\x41";
  std::string a = folder.Write("a.csv", Utf16Le(u"a") + std::string(broken, sizeof broken - 1));
  Result result = ProcessFile(a);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.out, "a\xEF\xBF\xBD"
                        "b\xEF\xBF\xBD");
}

TEST(PreprocByteOrderMark, EmptyUtf16File)
{
  TempFolder folder;
  std::string a = folder.Write("a.csv", "\xFF\xFE");
  Result result = ProcessFile(a);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.out, "");
}

TEST(PreprocByteOrderMark, BigEndianIsRejected)
{
  ChannelFrame frame;
  TempFolder folder;
  std::string a = folder.Write("a.csv", std::string("\xFE\xFF\0a", 4));
  Result result = ProcessFile(a);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, Preproc::ErrorCannotOpen);
  EXPECT_EQ(result.out, "");
  EXPECT_TRUE(frame.HasError("Big-endian unicode not supported"));
  EXPECT_TRUE(frame.HasError("Cannot include file " + a));
}

TEST(PreprocByteOrderMark, BigEndianIncludeIsRejected)
{
  ChannelFrame frame;
  TempFolder folder;
  std::string a = folder.Write("a.csv", "a\n#include \"b.csv\"\n");
  folder.Write("b.csv", std::string("\xFE\xFF\0b", 4));
  Result result = ProcessFile(a, true);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, Preproc::ErrorCannotOpen);
  EXPECT_EQ(result.source, a);
  EXPECT_EQ(result.out, "#line 1 \"" + a + "\"\na\n");
  EXPECT_TRUE(frame.HasError("Big-endian unicode not supported"));
}

TEST(PreprocByteOrderMark, PartialMarksAreText)
{
  TempFolder folder;
  EXPECT_EQ(ProcessFile(folder.Write("a.csv", "\xEF\xBBx\n")).out, "\xEF\xBBx\n");
  EXPECT_EQ(ProcessFile(folder.Write("b.csv", "\xFF")).out, "\xFF");
  EXPECT_EQ(ProcessFile(folder.Write("c.csv", "\xEF")).out, "\xEF");
}

// --- banks -------------------------------------------------------------------------

TEST(PreprocBank, IncludesResolveInsideTheBank)
{
  MemoryBank memory({{"main.csv", "#include \"inc\\defs.h\"\nA\n"},
                     {"inc\\defs.h", "#include \"more.h\"\n#define A B\n"},
                     {"inc\\more.h", "#define B from more\n"}});
  ASSERT_TRUE(memory.opened);
  BankPreprocessor preprocessor(memory.bank, false);
  Result result = Process(preprocessor, "main.csv");
  EXPECT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.out, "\n\n\n\nfrom more\n");
}

TEST(PreprocBank, LineMarkersNameBankMembers)
{
  MemoryBank memory({{"main.csv", "x\n#include \"sub/b.csv\"\n"}, {"sub\\b.csv", "b\n"}});
  BankPreprocessor preprocessor(memory.bank, true);
  Result result = Process(preprocessor, "main.csv");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.out, "#line 1 \"main.csv\"\nx\n#line 1 \"sub/b.csv\"\nb\n#line 2 \"main.csv\"\n\n");
}

TEST(PreprocBank, MissingMemberIsReported)
{
  ChannelFrame frame;
  MemoryBank memory({{"main.csv", "#include \"gone.csv\"\n"}});
  BankPreprocessor preprocessor(memory.bank, false);
  Result result = Process(preprocessor, "main.csv");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, Preproc::ErrorCannotOpen);
  EXPECT_EQ(result.source, "main.csv");
  EXPECT_TRUE(frame.HasError("Include file gone.csv not found."));
  EXPECT_TRUE(frame.HasError("Cannot include file gone.csv"));
}

TEST(PreprocBank, ByteOrderMarksInMembers)
{
  MemoryBank memory({{"a.csv", "\xEF\xBB\xBF"
                               "a\n#include \"b.csv\"\n"},
                     {"b.csv", Utf16Le(u"\u00e9")}});
  BankPreprocessor preprocessor(memory.bank, false);
  Result result = Process(preprocessor, "a.csv");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.out, "a\n\xC3\xA9\n");
}
