#include "El/Stringtable/stringtableLoader.hpp"

#include "El/PreprocC/preprocessorFunctions.hpp"
#include "El/QStream/qbStream.hpp"
#include "El/Stringtable/stringTable.hpp"
#include "El/Stringtable/textLookup.hpp"
#include "Es/Framework/appFrame.hpp"

#include "tests/support/memoryBank.hpp"
#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
// Keeps the warning channel apart from the others: the Part's messages must
// arrive as warnings.
class WarningFrame : public AppFrameFunctions
{
public:
  WarningFrame() { _previous = SetAppFrameFunctions(this); }
  ~WarningFrame() override { SetAppFrameFunctions(_previous); }

  void Log(const char *format, va_list argptr) override { others.push_back(Format(format, argptr)); }
  void Warning(const char *format, va_list argptr) override { warnings.push_back(Format(format, argptr)); }
  void ErrorMessage(const char *format, va_list argptr) override { errors.push_back(Format(format, argptr)); }

  int CountWarnings(const std::string &text) const
  {
    int count = 0;
    for (const std::string &line : warnings)
      if (line.find(text) != std::string::npos)
        ++count;
    return count;
  }
  bool ErrorsContain(const std::string &text) const
  {
    for (const std::string &line : errors)
      if (line.find(text) != std::string::npos)
        return true;
    return false;
  }

  std::vector<std::string> warnings;
  std::vector<std::string> errors;
  std::vector<std::string> others;

private:
  static std::string Format(const char *format, va_list argptr)
  {
    char line[8192];
    std::vsnprintf(line, sizeof line, format, argptr);
    return line;
  }

  AppFrameFunctions *_previous = nullptr;
};

// Every test starts with no tables, the language English and the hook as
// found, and leaves them so.
class StringtableLoaderTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    _language = GetStringtableLanguage();
    _hook = GPreprocessorFunctions();
    GStringTables().Clear();
    SetStringtableLanguage("English");
  }
  void TearDown() override
  {
    GStringTables().Clear();
    SetStringtableLanguage(_language);
    SetPreprocessorFunctions(_hook);
  }

  // Parses text as a stand-alone table; the bytes are copied into a buffer of
  // exactly their size, so a read past the end is caught by the sanitizer.
  StringTable Parse(const std::string &text, const char *language = "English")
  {
    StringTable table("test", 0);
    std::vector<char> bytes(text.begin(), text.end());
    ParseStringtableRows(table, bytes.data(), static_cast<int>(bytes.size()), language);
    return table;
  }

  // The process-wide lookup as text, for readable failures.
  static std::string Lookup(const char *key) { return GStringTables().Lookup(key).Data(); }

  static std::string Text(const StringTable &table, const char *key)
  {
    const RString *text = table.Find(key);
    return text ? std::string(text->Data()) : std::string("<missing>");
  }

  WarningFrame frame;
  TempFolder folder;

private:
  RString _language;
  PreprocessorFunctions *_hook = nullptr;
};

// A hook whose preprocessing always fails.
class FailingPreprocessor : public PreprocessorFunctions
{
public:
  bool Preprocess(QOStream &, QFBank &, const char *, bool) override { return false; }
  bool Preprocess(QOStream &, const char *, bool) override { return false; }
};

} // namespace

// --- The row parser --------------------------------------------------------

TEST_F(StringtableLoaderTest, KeepsTheColumnOfTheCurrentLanguage)
{
  StringTable table = Parse("LANGUAGE,English,German,French\n"
                            "SETUP_OK,OK,Gut,Bien\n"
                            "SETUP_NO,No,Nein,Non\n",
                            "German");
  EXPECT_EQ(table.Size(), 2);
  EXPECT_EQ(Text(table, "SETUP_OK"), "Gut");
  EXPECT_EQ(Text(table, "SETUP_NO"), "Nein");
  EXPECT_TRUE(frame.warnings.empty());
}

TEST_F(StringtableLoaderTest, LanguageNameComparesWithoutCase)
{
  StringTable table = Parse("language,ENGLISH,gErMaN\nK,one,eins\n", "german");
  EXPECT_EQ(Text(table, "K"), "eins");
  EXPECT_TRUE(frame.warnings.empty());
}

TEST_F(StringtableLoaderTest, MissingLanguageUsesTheFirstColumnAndWarnsOnce)
{
  StringTable table = Parse("LANGUAGE,English,German\n"
                            "A,first,erste\n"
                            "B,second,zweite\n"
                            "C,third,dritte\n",
                            "Czech");
  EXPECT_EQ(Text(table, "A"), "first");
  EXPECT_EQ(Text(table, "C"), "third");
  ASSERT_EQ(frame.warnings.size(), 1u);
  EXPECT_EQ(frame.warnings[0], "Unsupported language Czech in stringtable");
}

TEST_F(StringtableLoaderTest, FirstColumnOfTheLanguageCounts)
{
  StringTable table = Parse("LANGUAGE,English,German,GERMAN\nK,one,eins,EINS\n", "German");
  EXPECT_EQ(Text(table, "K"), "eins");
}

TEST_F(StringtableLoaderTest, LanguageNamesEndAtTheFirstEmptyCell)
{
  // German stands after an empty cell: it is no language name.
  StringTable table = Parse("LANGUAGE,English,,German\nK,one,x,eins\n", "German");
  EXPECT_EQ(Text(table, "K"), "one");
  EXPECT_EQ(frame.CountWarnings("Unsupported language German in stringtable"), 1);
}

TEST_F(StringtableLoaderTest, RowsBeforeLanguageAreIgnored)
{
  StringTable table = Parse("TITLE,ignored\n"
                            "SETUP_EARLY,early\n"
                            "LANGUAGE,English\n"
                            "SETUP_LATE,late\n");
  EXPECT_EQ(table.Size(), 1);
  EXPECT_EQ(Text(table, "SETUP_EARLY"), "<missing>");
  EXPECT_EQ(Text(table, "SETUP_LATE"), "late");
}

TEST_F(StringtableLoaderTest, LanguageInsideAQuotedCellStartsNoTable)
{
  // The quoted cell runs over the line end: its second line is no row.
  StringTable table = Parse("NOTE,\"a\nLANGUAGE,German\"\n"
                            "LANGUAGE,English,German\n"
                            "K,one,eins\n",
                            "German");
  EXPECT_EQ(Text(table, "K"), "eins");
  EXPECT_TRUE(frame.warnings.empty());
}

TEST_F(StringtableLoaderTest, WithoutLanguageRowNothingIsLoaded)
{
  StringTable table = Parse("K,one\nL,two\n");
  EXPECT_EQ(table.Size(), 0);
  EXPECT_TRUE(frame.warnings.empty());
}

TEST_F(StringtableLoaderTest, QuotedCellKeepsCommasLineBreaksAndDoubledQuotes)
{
  StringTable table = Parse("LANGUAGE,English,German\n"
                            "SETUP_Q,\"Hello, \"\"world\"\"\r\nnext line\",\"Hallo, Welt\"\n"
                            "SETUP_AFTER,after,danach\n");
  EXPECT_EQ(Text(table, "SETUP_Q"), "Hello, \"world\"\r\nnext line");
  EXPECT_EQ(Text(table, "SETUP_AFTER"), "after");
}

TEST_F(StringtableLoaderTest, QuotedCellsAreSkippedWholeOnTheWayToTheColumn)
{
  StringTable table = Parse("LANGUAGE,English,German\n"
                            "K,\"one, two\nthree\",eins\n",
                            "German");
  EXPECT_EQ(Text(table, "K"), "eins");
}

TEST_F(StringtableLoaderTest, CharactersAfterTheClosingQuoteAreDropped)
{
  StringTable table = Parse("LANGUAGE,English,German\n"
                            "K,\"kept\" dropped \"too\",eins\n",
                            "German");
  EXPECT_EQ(Text(table, "K"), "eins");
  StringTable english = Parse("LANGUAGE,English\nK,\"kept\"dropped\nL,x\n");
  EXPECT_EQ(Text(english, "K"), "kept");
  EXPECT_EQ(Text(english, "L"), "x");
}

TEST_F(StringtableLoaderTest, QuotedKeyAndUnterminatedQuote)
{
  StringTable table = Parse("LANGUAGE,English\n\"SETUP_QUOTED\",yes\nSETUP_OPEN,\"runs to the end\nof the text");
  EXPECT_EQ(Text(table, "SETUP_QUOTED"), "yes");
  EXPECT_EQ(Text(table, "SETUP_OPEN"), "runs to the end\nof the text");
}

TEST_F(StringtableLoaderTest, LeadingBlanksSkippedTrailingBlanksKept)
{
  StringTable table = Parse("LANGUAGE,English\n"
                            "  \tSETUP_A, \t text  ,x\n"
                            "SETUP_B,   \"quoted\"\n");
  EXPECT_EQ(Text(table, "SETUP_A"), "text  ");
  EXPECT_EQ(Text(table, "SETUP_B"), "quoted");
}

TEST_F(StringtableLoaderTest, BlanksBeforeALineEndAreNoCell)
{
  // The blanks after the comma are skipped but the line end is not: the text
  // is empty and the next row is a row of its own.
  StringTable table = Parse("LANGUAGE,English\nSETUP_A,   \nSETUP_B,b\n");
  EXPECT_EQ(table.Size(), 2);
  EXPECT_EQ(Text(table, "SETUP_A"), "");
  EXPECT_EQ(Text(table, "SETUP_B"), "b");
}

TEST_F(StringtableLoaderTest, ShortRowGivesAnEmptyTextNotAnotherColumn)
{
  StringTable table = Parse("LANGUAGE,English,German,French\n"
                            "SETUP_SHORT,only English\n"
                            "SETUP_COMMA,only English,\n",
                            "French");
  ASSERT_NE(table.Find("SETUP_SHORT"), nullptr);
  EXPECT_EQ(Text(table, "SETUP_SHORT"), "");
  EXPECT_EQ(Text(table, "SETUP_COMMA"), "");
  EXPECT_TRUE(frame.warnings.empty());
}

TEST_F(StringtableLoaderTest, ShortRowShowsTheKeyAsNotLocalized)
{
  SetStringtableLanguage("German");
  std::string name = folder.Write("setup.csv", "LANGUAGE,English,German\nSETUP_SHORT,only English\n");
  ASSERT_TRUE(LoadStringtable("global", name.c_str(), 0, true));
  EXPECT_EQ(LocalizeKey(L"SETUP_SHORT"), L"SETUP_SHORT ... not localized!");
  // The key is there (with its empty text): no "not found" warning.
  EXPECT_EQ(frame.CountWarnings("not found"), 0);
}

TEST_F(StringtableLoaderTest, CommentAndEmptyKeysAreSkipped)
{
  StringTable table = Parse("LANGUAGE,English\n"
                            "COMMENT,a note\n"
                            "comment,another\n"
                            ",no key\n"
                            "\n"
                            "   \n"
                            "\"\",quoted empty key\n"
                            "SETUP_A,a\n");
  EXPECT_EQ(table.Size(), 1);
  EXPECT_EQ(Text(table, "SETUP_A"), "a");
  EXPECT_TRUE(frame.warnings.empty());
}

TEST_F(StringtableLoaderTest, DuplicateKeysFirstWinsWithAWarningEachTime)
{
  StringTable table = Parse("LANGUAGE,English\n"
                            "Setup_Title,first\n"
                            "SETUP_TITLE,second\n"
                            "setup_title,third\n");
  EXPECT_EQ(table.Size(), 1);
  EXPECT_EQ(Text(table, "SETUP_TITLE"), "first");
  ASSERT_EQ(frame.warnings.size(), 2u);
  EXPECT_EQ(frame.warnings[0], "Item SETUP_TITLE listed twice");
  EXPECT_EQ(frame.warnings[1], "Item setup_title listed twice");
}

TEST_F(StringtableLoaderTest, CellsAreCutAt4095Characters)
{
  std::string longText(5000, 'x');
  std::string longKey = "K" + std::string(5000, 'k');
  StringTable table = Parse("LANGUAGE,English,German\n"
                            "SETUP_PLAIN," +
                                longText + ",after\n" + "SETUP_QUOTED,\"" + longText + "\",after\n" + longKey +
                                ",key\n" + "SETUP_EXACT," + std::string(4095, 'y') + "\n",
                            "German");
  // The long cells are cut, and the cell after them is still read.
  EXPECT_EQ(Text(table, "SETUP_PLAIN"), "after");
  EXPECT_EQ(Text(table, "SETUP_QUOTED"), "after");
  StringTable english = Parse("LANGUAGE,English\n"
                              "SETUP_PLAIN," +
                              longText + "\n" + "SETUP_QUOTED,\"" + longText + "\"\n" + longKey + ",key\n" +
                              "SETUP_EXACT," + std::string(4095, 'y') + "\n");
  EXPECT_EQ(Text(english, "SETUP_PLAIN"), std::string(4095, 'x'));
  EXPECT_EQ(Text(english, "SETUP_QUOTED"), std::string(4095, 'x'));
  EXPECT_EQ(Text(english, "SETUP_EXACT"), std::string(4095, 'y'));
  EXPECT_EQ(Text(english, longKey.substr(0, 4095).c_str()), "key");
  EXPECT_EQ(english.Size(), 4);
}

TEST_F(StringtableLoaderTest, DoubledQuotesCountTowardsTheLimit)
{
  // 4094 characters, then two doubled quotes: only the first fits.
  std::string cell = "\"" + std::string(4094, 'x') + "\"\"\"\"\"";
  StringTable table = Parse("LANGUAGE,English\nK," + cell + "\nL,after\n");
  EXPECT_EQ(Text(table, "K"), std::string(4094, 'x') + "\"");
  EXPECT_EQ(Text(table, "L"), "after");
}

TEST_F(StringtableLoaderTest, RowsEndAtCrLfOrCrLf)
{
  StringTable table = Parse("LANGUAGE,English\r"
                            "SETUP_CR,cr\r"
                            "SETUP_LF,lf\n"
                            "SETUP_CRLF,crlf\r\n"
                            "SETUP_LAST,last");
  EXPECT_EQ(table.Size(), 4);
  EXPECT_EQ(Text(table, "SETUP_CR"), "cr");
  EXPECT_EQ(Text(table, "SETUP_LF"), "lf");
  EXPECT_EQ(Text(table, "SETUP_CRLF"), "crlf");
  EXPECT_EQ(Text(table, "SETUP_LAST"), "last");
}

TEST_F(StringtableLoaderTest, ALineEndEndsTheRowBeforeTheLanguageColumn)
{
  // A CR alone must end the row: otherwise the next row's key would be read
  // as this row's German text.
  StringTable table = Parse("LANGUAGE,English,German\r\nSETUP_A,a\rSETUP_B,b,bb\r\n", "German");
  EXPECT_EQ(Text(table, "SETUP_A"), "");
  EXPECT_EQ(Text(table, "SETUP_B"), "bb");
}

TEST_F(StringtableLoaderTest, Utf8TextsAreKeptAsBytes)
{
  StringTable table = Parse("LANGUAGE,English,German,Russian\n"
                            "SETUP_SIZE,Size,Gr\xC3\xB6\xC3\x9F"
                            "e,\xD0\xA0\xD0\xB0\xD0\xB7\xD0\xBC\xD0\xB5\xD1\x80\n",
                            "Russian");
  EXPECT_EQ(Text(table, "SETUP_SIZE"), "\xD0\xA0\xD0\xB0\xD0\xB7\xD0\xBC\xD0\xB5\xD1\x80");
}

TEST_F(StringtableLoaderTest, EmptyOrNullInputLoadsNothing)
{
  StringTable table("test", 0);
  ParseStringtableRows(table, nullptr, 10, "English");
  ParseStringtableRows(table, "LANGUAGE,English\nK,v\n", 0, "English");
  ParseStringtableRows(table, "LANGUAGE,English\nK,v\n", -5, "English");
  EXPECT_EQ(table.Size(), 0);
}

TEST_F(StringtableLoaderTest, SizeIsHonouredWithoutATerminator)
{
  // Only the first 20 bytes count: "LANGUAGE,English\nK,v".
  std::string text = "LANGUAGE,English\nK,vvv\nL,w\n";
  StringTable table("test", 0);
  ParseStringtableRows(table, text.data(), 20, "English");
  EXPECT_EQ(table.Size(), 1);
  EXPECT_EQ(Text(table, "K"), "v");
}

TEST_F(StringtableLoaderTest, ParsingAddsToWhatTheTableHolds)
{
  StringTable table("test", 0);
  table.Add("SETUP_OLD", "old");
  std::string text = "LANGUAGE,English\nSETUP_OLD,new\nSETUP_NEW,new\n";
  ParseStringtableRows(table, text.data(), static_cast<int>(text.size()), "English");
  EXPECT_EQ(Text(table, "SETUP_OLD"), "old");
  EXPECT_EQ(Text(table, "SETUP_NEW"), "new");
  EXPECT_EQ(frame.CountWarnings("Item SETUP_OLD listed twice"), 1);
}

// --- The language setting ------------------------------------------------

TEST_F(StringtableLoaderTest, LanguageSettingIsKept)
{
  SetStringtableLanguage("Polish");
  EXPECT_EQ(GetStringtableLanguage(), "Polish");
}

// --- Loading files -------------------------------------------------------

TEST_F(StringtableLoaderTest, MissingFileDoesNothing)
{
  EXPECT_FALSE(LoadStringtable("global", folder.File("setup.csv").c_str(), 0, true));
  EXPECT_EQ(GStringTables().Count(), 0);
  EXPECT_TRUE(frame.warnings.empty());
  EXPECT_EQ(LocalizeKey(L"SETUP_STR_APP_NAME"), L"SETUP_STR_APP_NAME ... not localized!");
}

TEST_F(StringtableLoaderTest, FileFillsTheNamedTableOfTheProcess)
{
  SetStringtableLanguage("German");
  std::string name = folder.Write("setup.csv", "LANGUAGE,English,German\r\nSETUP_STR_APP_NAME,Setup,Installation\r\n");
  ASSERT_TRUE(LoadStringtable("global", name.c_str(), 0, true));
  ASSERT_EQ(GStringTables().Count(), 1);
  EXPECT_EQ(GStringTables()[0].GetName(), "global");
  EXPECT_EQ(GStringTables()[0].GetPriority(), 0.0f);
  EXPECT_EQ(Lookup("setup_str_app_name"), "Installation");
  EXPECT_EQ(LocalizeKey(L"SETUP_STR_APP_NAME"), L"Installation");
}

TEST_F(StringtableLoaderTest, ClearFlagDecidesWhetherOldRowsStay)
{
  std::string first = folder.Write("first.csv", "LANGUAGE,English\nSETUP_A,a\nSETUP_SHARED,from first\n");
  std::string second = folder.Write("second.csv", "LANGUAGE,English\nSETUP_B,b\nSETUP_SHARED,from second\n");
  ASSERT_TRUE(LoadStringtable("global", first.c_str(), 0, true));
  ASSERT_TRUE(LoadStringtable("global", second.c_str(), 0, false));
  EXPECT_EQ(GStringTables().Count(), 1);
  EXPECT_EQ(Lookup("SETUP_A"), "a");
  EXPECT_EQ(Lookup("SETUP_B"), "b");
  EXPECT_EQ(Lookup("SETUP_SHARED"), "from first");
  EXPECT_EQ(frame.CountWarnings("Item SETUP_SHARED listed twice"), 1);

  ASSERT_TRUE(LoadStringtable("GLOBAL", second.c_str(), 0, true));
  EXPECT_EQ(GStringTables().Count(), 1);
  EXPECT_EQ(GStringTables()[0].Size(), 2);
  EXPECT_EQ(GStringTables().Find("SETUP_A", true), nullptr);
  EXPECT_EQ(Lookup("SETUP_SHARED"), "from second");
}

TEST_F(StringtableLoaderTest, OtherPriorityForAnExistingTableIsAssertedAndLoadingGoesOn)
{
  std::string first = folder.Write("first.csv", "LANGUAGE,English\nSETUP_A,a\n");
  std::string second = folder.Write("second.csv", "LANGUAGE,English\nSETUP_B,b\n");
  ASSERT_TRUE(LoadStringtable("global", first.c_str(), 0, true));
  EXPECT_TRUE(frame.warnings.empty());
  ASSERT_TRUE(LoadStringtable("global", second.c_str(), 5, false));
  ASSERT_EQ(frame.warnings.size(), 1u);
  EXPECT_NE(frame.warnings[0].find("Assertion failed 'table.GetPriority() == priority'"), std::string::npos)
      << frame.warnings[0];
  EXPECT_EQ(frame.warnings[0].rfind("El/Stringtable/stringtableLoader(", 0), 0u) << frame.warnings[0];
  EXPECT_EQ(GStringTables().Count(), 1);
  EXPECT_EQ(GStringTables()[0].GetPriority(), 0.0f);
  EXPECT_EQ(Lookup("SETUP_B"), "b");
  EXPECT_EQ(Lookup("SETUP_A"), "a");
}

TEST_F(StringtableLoaderTest, NewTablesGoInByPriority)
{
  std::string low = folder.Write("low.csv", "LANGUAGE,English\nSETUP_T,low\nSETUP_LOW,low\n");
  std::string high = folder.Write("high.csv", "LANGUAGE,English\nSETUP_T,high\n");
  ASSERT_TRUE(LoadStringtable("low", low.c_str(), 0, true));
  ASSERT_TRUE(LoadStringtable("high", high.c_str(), 10, true));
  ASSERT_EQ(GStringTables().Count(), 2);
  EXPECT_EQ(GStringTables()[0].GetName(), "high");
  EXPECT_EQ(Lookup("SETUP_T"), "high");
  EXPECT_EQ(Lookup("SETUP_LOW"), "low");
}

TEST_F(StringtableLoaderTest, FailingPreprocessorLoadsNothing)
{
  FailingPreprocessor failing;
  SetPreprocessorFunctions(&failing);
  std::string name = folder.Write("setup.csv", "LANGUAGE,English\nSETUP_A,a\n");
  EXPECT_FALSE(LoadStringtable("global", name.c_str(), 0, true));
  EXPECT_EQ(GStringTables().Count(), 0);
  ASSERT_EQ(frame.warnings.size(), 1u);
  EXPECT_EQ(frame.warnings[0], "Stringtable " + name + ": preprocessor error");
}

TEST_F(StringtableLoaderTest, FailingPreprocessorLeavesAnExistingTableAlone)
{
  std::string good = folder.Write("good.csv", "LANGUAGE,English\nSETUP_A,a\n");
  ASSERT_TRUE(LoadStringtable("global", good.c_str(), 0, true));
  FailingPreprocessor failing;
  SetPreprocessorFunctions(&failing);
  EXPECT_FALSE(LoadStringtable("global", good.c_str(), 0, true));
  EXPECT_EQ(Lookup("SETUP_A"), "a");
}

TEST_F(StringtableLoaderTest, Utf8TextsRoundTripToWide)
{
  SetStringtableLanguage("Russian");
  std::string name = folder.Write("setup.csv", "\xEF\xBB\xBF"
                                               "LANGUAGE,English,Russian\n"
                                               "SETUP_SIZE,Gr\xC3\xB6\xC3\x9F"
                                               "e,\xD0\xA0\xD0\xB0\xD0\xB7\xD0\xBC\xD0\xB5\xD1\x80 \xF0\x9F\x98\x80\n");
  // With the copying hook the byte-order mark stays in the first cell, so
  // this file needs the real preprocessor, which drops it.
  CPreprocessorFunctions real;
  SetPreprocessorFunctions(&real);
  ASSERT_TRUE(LoadStringtable("global", name.c_str(), 0, true));
  std::wstring expected = L"\u0420\u0430\u0437\u043C\u0435\u0440 ";
  if constexpr (sizeof(wchar_t) == 2)
    expected += std::wstring{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
  else
    expected += static_cast<wchar_t>(0x1F600);
  EXPECT_EQ(LocalizeKey(L"SETUP_SIZE"), expected);
  SetStringtableLanguage("English");
  ASSERT_TRUE(LoadStringtable("global", name.c_str(), 0, true));
  EXPECT_EQ(LocalizeKey(L"SETUP_SIZE"), L"Gr\u00F6\u00DFe");
}

// --- Through the real preprocessor -------------------------------------

TEST_F(StringtableLoaderTest, TableFileMayUseIncludesDefinesAndComments)
{
  CPreprocessorFunctions real;
  SetPreprocessorFunctions(&real);
  SetStringtableLanguage("German");
  folder.Write("common.csv", "SETUP_COMMON,Common,Gemeinsam\n");
  std::string name = folder.Write("setup.csv", "// Stringtable of the product\n"
                                               "#define PRODUCT Arma\n"
                                               "LANGUAGE,English,German\n"
                                               "#include \"common.csv\"\n"
                                               "/* the wizard's\n"
                                               "   titles */\n"
                                               "SETUP_TITLE,PRODUCT Setup,PRODUCT Installation\n"
                                               "#ifdef NEVER_DEFINED\n"
                                               "SETUP_HIDDEN,hidden,versteckt\n"
                                               "#endif\n"
                                               "SETUP_QUOTED,\"PRODUCT, quoted\",\"PRODUCT, zitiert\"\n"
                                               "SETUP_LAST,last,letzte\n");
  ASSERT_TRUE(LoadStringtable("global", name.c_str(), 0, true));
  EXPECT_EQ(Lookup("SETUP_TITLE"), "Arma Installation");
  EXPECT_EQ(Lookup("SETUP_COMMON"), "Gemeinsam");
  EXPECT_EQ(GStringTables().Find("SETUP_HIDDEN", true), nullptr);
  // String literals pass the preprocessor untouched.
  EXPECT_EQ(Lookup("SETUP_QUOTED"), "PRODUCT, zitiert");
  EXPECT_EQ(Lookup("SETUP_LAST"), "letzte");
  EXPECT_EQ(GStringTables()[0].Size(), 4);
  EXPECT_TRUE(frame.warnings.empty()) << frame.warnings[0];
}

TEST_F(StringtableLoaderTest, RealPreprocessorFailureIsWarnedAndNothingLoaded)
{
  CPreprocessorFunctions real;
  SetPreprocessorFunctions(&real);
  std::string name = folder.Write("setup.csv", "LANGUAGE,English\nSETUP_A,a\n#bogus directive\nSETUP_B,b\n");
  EXPECT_FALSE(LoadStringtable("global", name.c_str(), 0, true));
  EXPECT_EQ(GStringTables().Count(), 0);
  EXPECT_EQ(frame.CountWarnings("Stringtable " + name + ": preprocessor error"), 1);
  EXPECT_TRUE(frame.ErrorsContain("Preprocessor failed on file"));
}

TEST_F(StringtableLoaderTest, MissingIncludeFailsTheWholeFile)
{
  CPreprocessorFunctions real;
  SetPreprocessorFunctions(&real);
  std::string name = folder.Write("setup.csv", "LANGUAGE,English\nSETUP_A,a\n#include \"absent.csv\"\n");
  EXPECT_FALSE(LoadStringtable("global", name.c_str(), 0, true));
  EXPECT_EQ(GStringTables().Count(), 0);
  EXPECT_EQ(frame.CountWarnings("preprocessor error"), 1);
}

// --- Loading from a bank -------------------------------------------------

TEST_F(StringtableLoaderTest, BankMemberLoadsLikeAFile)
{
  SetStringtableLanguage("German");
  MemoryBank memory(StoredBankBytes({{"setup.csv", "LANGUAGE,English,German\nSETUP_A,a,ah\n"}}));
  ASSERT_TRUE(memory.opened);
  ASSERT_TRUE(LoadStringtable("global", memory.bank, "setup.csv", 0, true));
  EXPECT_EQ(Lookup("SETUP_A"), "ah");
}

TEST_F(StringtableLoaderTest, MissingBankMemberDoesNothing)
{
  MemoryBank memory(StoredBankBytes({{"other.csv", "LANGUAGE,English\nSETUP_A,a\n"}}));
  ASSERT_TRUE(memory.opened);
  EXPECT_FALSE(LoadStringtable("global", memory.bank, "setup.csv", 0, true));
  EXPECT_EQ(GStringTables().Count(), 0);
  EXPECT_TRUE(frame.warnings.empty());
}

TEST_F(StringtableLoaderTest, BankMemberWithFailingPreprocessorLoadsNothing)
{
  FailingPreprocessor failing;
  SetPreprocessorFunctions(&failing);
  MemoryBank memory(StoredBankBytes({{"setup.csv", "LANGUAGE,English\nSETUP_A,a\n"}}));
  EXPECT_FALSE(LoadStringtable("global", memory.bank, "setup.csv", 0, true));
  EXPECT_EQ(GStringTables().Count(), 0);
  ASSERT_EQ(frame.warnings.size(), 1u);
  EXPECT_EQ(frame.warnings[0], "Stringtable setup.csv: preprocessor error");
}

TEST_F(StringtableLoaderTest, BankMemberMayIncludeAnotherMember)
{
  CPreprocessorFunctions real;
  SetPreprocessorFunctions(&real);
  MemoryBank memory(StoredBankBytes({{"setup.csv", "LANGUAGE,English\n#define WHO World\nSETUP_A,Hello WHO\n#include "
                                                   "\"more.csv\"\n"},
                                     {"more.csv", "SETUP_B,more\n"}}));
  ASSERT_TRUE(memory.opened);
  ASSERT_TRUE(LoadStringtable("global", memory.bank, "setup.csv", 0, true));
  EXPECT_EQ(Lookup("SETUP_A"), "Hello World");
  EXPECT_EQ(Lookup("SETUP_B"), "more");
}
