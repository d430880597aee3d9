#include "Setup/Data/scriptLines.hpp"

#include "El/Stringtable/stringTable.hpp"
#include "El/Stringtable/textLookup.hpp"

#include "tests/support/capturingFrame.hpp"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace
{
using Lines = std::vector<std::string>;
using Fields = std::vector<std::wstring>;

std::span<const char> Bytes(std::string_view text) { return {text.data(), text.size()}; }

// The lines SplitScriptLines keeps; accepted tells whether it took the text.
Lines LinesOf(std::string_view text, bool *accepted = nullptr)
{
  std::vector<std::string_view> views;
  bool ok = SplitScriptLines(Bytes(text), views);
  if (accepted)
    *accepted = ok;
  return {views.begin(), views.end()};
}

std::string AfterMark(std::string_view text)
{
  std::span<const char> rest = SkipTextStartMark(Bytes(text));
  return {rest.data(), rest.size()};
}

bool Readable(std::string_view text)
{
  ScriptText script;
  return ReadScriptText(Bytes(text), script);
}
} // namespace

TEST(ScriptLines, OnlyCrLfEndsALineAndEmptyLinesAreDropped)
{
  EXPECT_EQ(LinesOf("one\r\ntwo"), (Lines{"one", "two"}));
  // A lone LF or CR is part of the line, which runs on to the next CR LF.
  EXPECT_EQ(LinesOf("a\nb\rc\r\nd\n"), (Lines{"a\nb\rc", "d\n"}));
  EXPECT_EQ(LinesOf("\r\r\n\n\r\nlast\r"), (Lines{"\r", "\n", "last\r"}));
  EXPECT_EQ(LinesOf("\r\n\r\nx\r\n\r\n\r\ny\r\n\r\n"), (Lines{"x", "y"}));
  EXPECT_TRUE(LinesOf("").empty());
}

TEST(ScriptLines, A999ByteLineIsTakenAnd1000BytesAreRefused)
{
  std::string longest(MaxScriptLineBytes, 'a');
  bool accepted = false;
  EXPECT_EQ(LinesOf(longest + "\r\nb", &accepted), (Lines{longest, "b"}));
  EXPECT_TRUE(accepted);
  EXPECT_TRUE(Readable(longest));

  // Refused rather than cut, wherever the line stands; the lines before it
  // are kept.
  EXPECT_EQ(LinesOf("first\r\n" + longest + "a\r\nlast", &accepted), Lines{"first"});
  EXPECT_FALSE(accepted);
  EXPECT_FALSE(Readable("first\r\n" + longest + "a"));
  // A lone line feed is a byte of the line.
  EXPECT_FALSE(Readable(std::string(MaxScriptLineBytes - 1, 'a') + "\nb"));
  // Bytes count, not characters: 500 two-byte characters are too many,
  // 333 three-byte ones fit.
  std::string umlauts, euros;
  for (int i = 0; i < 500; ++i)
    umlauts += "\xC3\xA4";
  for (int i = 0; i < 333; ++i)
    euros += "\xE2\x82\xAC";
  EXPECT_FALSE(Readable(umlauts));
  ScriptText script;
  ASSERT_TRUE(ReadScriptText(Bytes(euros), script));
  EXPECT_EQ(script.lines, Fields{std::wstring(333, L'\u20AC')});
}

TEST(ScriptLines, StartMarksAreSkippedOnlyInTextsLongerThanTwoBytes)
{
  EXPECT_EQ(AfterMark("\xEF\xBB\xBFx:y"), "x:y");
  EXPECT_EQ(AfterMark("\xFF\xFEx"), "x");
  EXPECT_EQ(AfterMark("\xFE\xFFx"), "x");
  EXPECT_EQ(AfterMark("\xEF\xBB\xBF"), "");
  EXPECT_EQ(AfterMark("\xFF\xFE"), "\xFF\xFE");
  EXPECT_EQ(AfterMark("\xFE\xFF"), "\xFE\xFF");
  // Only a whole mark, and only at the start.
  EXPECT_EQ(AfterMark("\xEF\xBBx"), "\xEF\xBBx");
  EXPECT_EQ(AfterMark("x\xEF\xBB\xBF"), "x\xEF\xBB\xBF");

  ScriptText script;
  ASSERT_TRUE(ReadScriptText(Bytes("\xEF\xBB\xBF"
                                   "copy:a\r\n"),
                             script));
  EXPECT_EQ(script.lines, Fields{L"copy:a"});
  // Two bytes are text: invalid UTF-8, a replacement character each.
  ScriptText two;
  ASSERT_TRUE(ReadScriptText(Bytes("\xFF\xFE"), two));
  EXPECT_EQ(two.lines, Fields{L"\uFFFD\uFFFD"});
}

TEST(ScriptFields, EveryColonCutsBlanksAreKeptAndRestFromFieldJoinsWithColons)
{
  EXPECT_EQ(SplitScriptFields(L" a : b "), (Fields{L" a ", L" b "}));
  EXPECT_EQ(SplitScriptFields(L"a::b:"), (Fields{L"a", L"", L"b", L""}));
  EXPECT_EQ(SplitScriptFields(L":"), (Fields{L"", L""}));
  EXPECT_EQ(SplitScriptFields(L""), Fields{L""});

  Fields fields = SplitScriptFields(L"run:C:\\game\\x.exe::-a");
  EXPECT_EQ(fields, (Fields{L"run", L"C", L"\\game\\x.exe", L"", L"-a"}));
  EXPECT_EQ(RestFromField(fields, 1), L"C:\\game\\x.exe::-a");
  EXPECT_EQ(RestFromField(fields, 0), L"run:C:\\game\\x.exe::-a");
  EXPECT_EQ(RestFromField(fields, 4), L"-a");
  EXPECT_EQ(RestFromField(fields, 5), L"");
  EXPECT_EQ(RestFromField(fields, 99), L"");
}

namespace
{
// A fresh "global" table for each test, dropped afterwards.
class ScriptTextTest : public ::testing::Test
{
protected:
  void SetUp() override { GStringTables().Clear(); }
  void TearDown() override { GStringTables().Clear(); }

  // A row as the loader stores it: UTF-8, escapes unreplaced.
  static void Row(const char *key, const char *text) { GStringTables().FindOrInsert("global", 0).Add(key, text); }

  static ScriptText Read(std::string_view bytes)
  {
    ScriptText script;
    EXPECT_TRUE(ReadScriptText(Bytes(bytes), script));
    EXPECT_EQ(script.lines.size(), script.fields.size());
    return script;
  }

  CapturingFrame frame;
};
} // namespace

TEST_F(ScriptTextTest, FieldsAndTheStoredLineAreExpandedButTranslatedColonsCutNothing)
{
  Row("SETUP_PATH", "C:\\Games:Gold");
  ScriptText script = Read("copy:$SETUP_PATH\\x:y\r\nplain");
  ASSERT_EQ(script.lines.size(), 2u);
  EXPECT_EQ(script.fields[0], (Fields{L"copy", L"C:\\Games:Gold\\x", L"y"}));
  EXPECT_EQ(script.lines[0], L"copy:C:\\Games:Gold\\x:y");
  EXPECT_EQ(script.fields[1], Fields{L"plain"});
  EXPECT_EQ(script.lines[1], L"plain");
}

TEST_F(ScriptTextTest, TrailingDollarAndProductNameStay)
{
  ScriptText script = Read("price:5$\r\nrun:%0 setup:%0");
  EXPECT_EQ(script.fields[0], (Fields{L"price", L"5$"}));
  EXPECT_EQ(script.lines[0], L"price:5$");
  EXPECT_EQ(script.fields[1], (Fields{L"run", L"%0 setup", L"%0"}));
  EXPECT_EQ(script.lines[1], L"run:%0 setup:%0");
  // A "$" ending a field stays there, whatever follows in the line.
  EXPECT_EQ(Read("a$:b").fields[0], (Fields{L"a$", L"b"}));
}

TEST_F(ScriptTextTest, TranslationsReferringToEachOtherEnd)
{
  Row("SETUP_X", "x$SETUP_Y");
  Row("SETUP_Y", "y$SETUP_X");
  ScriptText script = Read("title:$SETUP_X");
  std::wstring expanded;
  for (int i = 0; i < MaxTextExpansions / 2; ++i)
    expanded += L"xy";
  expanded += L"$SETUP_X";
  EXPECT_EQ(script.fields[0], (Fields{L"title", expanded}));
  EXPECT_EQ(script.lines[0], L"title:" + expanded);
}

TEST_F(ScriptTextTest, Utf8BecomesWideAndInvalidBytesBecomeReplacements)
{
  Row("SETUP_RU", "\xD0\x9F\xD1\x80\xD0\xB8");
  ScriptText script = Read("\xC3\xA4:$SETUP_RU\r\n\xC3:\xE2\x82");
  EXPECT_EQ(script.fields[0], (Fields{L"\u00E4", L"\u041F\u0440\u0438"}));
  // A cut sequence never swallows the colon after it.
  EXPECT_EQ(script.fields[1], (Fields{L"\uFFFD", L"\uFFFD"}));
}
