#include "El/Stringtable/textLookup.hpp"

#include "El/Stringtable/stringTable.hpp"

#include "tests/support/capturingFrame.hpp"

#include <gtest/gtest.h>

#include <string>

namespace
{
// A fresh "global" table for each test, dropped afterwards.
class TextLookupTest : public ::testing::Test
{
protected:
  void SetUp() override { GStringTables().Clear(); }
  void TearDown() override { GStringTables().Clear(); }

  // Adds a row as the loader would (UTF-8 bytes, escapes unreplaced).
  void Row(const char *key, const char *text) { GStringTables().FindOrInsert("global", 0).Add(key, text); }

  static std::wstring Expanded(std::wstring text, bool allowProductName = false,
                               const std::wstring &productName = std::wstring())
  {
    ExpandText(text, allowProductName, productName);
    return text;
  }

  CapturingFrame frame;
};
} // namespace

// --- LocalizeKey ------------------------------------------------------------

TEST_F(TextLookupTest, WithNoTableTheKeyIsShownAsNotLocalized)
{
  EXPECT_EQ(LocalizeKey(L"SETUP_STR_APP_NAME"), L"SETUP_STR_APP_NAME ... not localized!");
  EXPECT_TRUE(frame.Contains("String SETUP_STR_APP_NAME not found"));
}

TEST_F(TextLookupTest, FoundKeyGivesItsText)
{
  Row("SETUP_STR_APP_NAME", "Game Setup");
  EXPECT_EQ(LocalizeKey(L"SETUP_STR_APP_NAME"), L"Game Setup");
  EXPECT_TRUE(frame.lines.empty());
}

TEST_F(TextLookupTest, KeysDifferingInCaseFindTheSameText)
{
  Row("Setup_Wizard_Dir_Title", "Destination");
  EXPECT_EQ(LocalizeKey(L"SETUP_WIZARD_DIR_TITLE"), L"Destination");
  EXPECT_EQ(LocalizeKey(L"setup_wizard_dir_title"), L"Destination");
}

TEST_F(TextLookupTest, EmptyTextIsShownAsNotLocalized)
{
  Row("SETUP_EMPTY", "");
  EXPECT_EQ(LocalizeKey(L"SETUP_EMPTY"), L"SETUP_EMPTY ... not localized!");
}

TEST_F(TextLookupTest, EmptyKeyGivesTheSuffixAlone)
{
  EXPECT_EQ(LocalizeKey(L""), NotLocalizedSuffix);
  EXPECT_EQ(std::wstring(NotLocalizedSuffix), L" ... not localized!");
}

TEST_F(TextLookupTest, EscapePairsAreReplaced)
{
  Row("SETUP_ESCAPES", "q\\\"a\\'b\\\\n\\nr\\rt\\t.");
  EXPECT_EQ(LocalizeKey(L"SETUP_ESCAPES"), L"q\"a'b\\n\nr\rt\t.");
}

TEST_F(TextLookupTest, OtherBackslashesAreLeft)
{
  Row("SETUP_PATH", "C:\\Games\\x\\");
  EXPECT_EQ(LocalizeKey(L"SETUP_PATH"), L"C:\\Games\\x\\");
}

TEST_F(TextLookupTest, BackslashNIsALineBreakForTheMessageBox)
{
  Row("SETUP_MSG", "First line\\nSecond line");
  EXPECT_EQ(LocalizeKey(L"SETUP_MSG"), L"First line\nSecond line");
}

TEST_F(TextLookupTest, Utf8TextsBecomeWide)
{
  Row("SETUP_DE", "Gr\xC3\xB6\xC3\x9F"
                  "e");
  Row("SETUP_RU", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
  Row("SETUP_SMILE", "\xF0\x9F\x98\x80");
  EXPECT_EQ(LocalizeKey(L"SETUP_DE"), L"Gr\u00F6\u00DFe");
  EXPECT_EQ(LocalizeKey(L"SETUP_RU"), L"\u041F\u0440\u0438\u0432\u0435\u0442");
  std::wstring smile = LocalizeKey(L"SETUP_SMILE");
  if constexpr (sizeof(wchar_t) == 2)
  {
    EXPECT_EQ(smile, (std::wstring{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)}));
  }
  else
  {
    EXPECT_EQ(smile, std::wstring(1, static_cast<wchar_t>(0x1F600)));
  }
}

// --- IndirectText -----------------------------------------------------------

TEST_F(TextLookupTest, IndirectTextLocalizesAfterTheAtSign)
{
  Row("SETUP_OK", "OK");
  EXPECT_EQ(IndirectText(L"@SETUP_OK"), L"OK");
  EXPECT_EQ(IndirectText(L"@SETUP_NONE"), L"SETUP_NONE ... not localized!");
  EXPECT_EQ(IndirectText(L"SETUP_OK"), L"SETUP_OK");
  EXPECT_EQ(IndirectText(L"mail@SETUP_OK"), L"mail@SETUP_OK");
  EXPECT_EQ(IndirectText(L""), L"");
  EXPECT_EQ(IndirectText(L"@"), L" ... not localized!");
}

// --- ExpandText -------------------------------------------------------------

TEST_F(TextLookupTest, ReferenceIsReplacedByItsText)
{
  Row("SETUP_WIZARD_DIR_TITLE", "Choose a folder");
  std::wstring text = L"$SETUP_WIZARD_DIR_TITLE";
  EXPECT_TRUE(ExpandText(text, false));
  EXPECT_EQ(text, L"Choose a folder");
  EXPECT_EQ(Expanded(L"[$SETUP_WIZARD_DIR_TITLE.]"), L"[Choose a folder.]");
}

TEST_F(TextLookupTest, TextWithoutSignsIsUnchanged)
{
  std::wstring text = L"Plain text";
  EXPECT_FALSE(ExpandText(text, true, L"Game"));
  EXPECT_EQ(text, L"Plain text");
  std::wstring empty;
  EXPECT_FALSE(ExpandText(empty, true, L"Game"));
}

TEST_F(TextLookupTest, KeyRunIsAsciiLettersDigitsAndUnderscores)
{
  Row("A_1", "x");
  EXPECT_EQ(Expanded(L"$A_1-$A_1 $A_1\u00E4"), L"x-x x\u00E4");
  // The run takes every key character: "$A_12" names A_12, not A_1.
  EXPECT_EQ(Expanded(L"$A_12"), L"A_12 ... not localized!");
}

TEST_F(TextLookupTest, TrailingSignIsLeft)
{
  std::wstring dollar = L"Price 5$";
  EXPECT_FALSE(ExpandText(dollar, true, L"Game"));
  EXPECT_EQ(dollar, L"Price 5$");
  std::wstring percent = L"Done 100%";
  EXPECT_FALSE(ExpandText(percent, true, L"Game"));
  EXPECT_EQ(percent, L"Done 100%");
  EXPECT_EQ(Expanded(L"$"), L"$");
  EXPECT_EQ(Expanded(L"%", true, L"Game"), L"%");
}

TEST_F(TextLookupTest, DollarWithoutKeyGivesTheEmptyKeysLocalization)
{
  std::wstring text = L"a$ b";
  EXPECT_TRUE(ExpandText(text, false));
  EXPECT_EQ(text, L"a ... not localized! b");
  // Only the sign is replaced; the next "$" then stands last and stays.
  EXPECT_EQ(Expanded(L"$-$"), L" ... not localized!-$");
  EXPECT_EQ(Expanded(L"$$"), L" ... not localized!$");
}

TEST_F(TextLookupTest, MissingReferenceShowsTheKey)
{
  EXPECT_EQ(Expanded(L"Title: $SETUP_NONE"), L"Title: SETUP_NONE ... not localized!");
}

TEST_F(TextLookupTest, NestedReferencesAreExpandedInTurn)
{
  Row("SETUP_A", "Welcome to $SETUP_B");
  Row("SETUP_B", "the $SETUP_C installer");
  Row("SETUP_C", "%0");
  EXPECT_EQ(Expanded(L"$SETUP_A!", true, L"Game"), L"Welcome to the Game installer!");
  // Without "%0" allowed the product name stays a sign.
  EXPECT_EQ(Expanded(L"$SETUP_A!"), L"Welcome to the %0 installer!");
}

TEST_F(TextLookupTest, ReplacementJoinsWhatFollowsIt)
{
  // The scan resumes where the replacement begins, over the text as it now
  // stands: a product name "$" and the key name after "%0" form a reference.
  Row("SETUP_NAME", "Game");
  EXPECT_EQ(Expanded(L"%0SETUP_NAME!", true, L"$"), L"Game!");
  // A translation ending in "%" followed by another character is left.
  Row("SETUP_PCT", "50%");
  EXPECT_EQ(Expanded(L"$SETUP_PCT.", true, L"Game"), L"50%.");
}

TEST_F(TextLookupTest, ProductNameReplacesPercentZeroOnlyWhenAllowed)
{
  std::wstring allowed = L"Install %0 now (%0)";
  EXPECT_TRUE(ExpandText(allowed, true, L"Game"));
  EXPECT_EQ(allowed, L"Install Game now (Game)");
  std::wstring refused = L"Install %0 now";
  EXPECT_FALSE(ExpandText(refused, false, L"Game"));
  EXPECT_EQ(refused, L"Install %0 now");
  // Other signs stay; "%%0" keeps the first sign.
  EXPECT_EQ(Expanded(L"%1 %d %%0", true, L"Game"), L"%1 %d %Game");
}

TEST_F(TextLookupTest, ProductNameIsScannedInTurn)
{
  Row("SETUP_NAME", "Game");
  EXPECT_EQ(Expanded(L"%0", true, L"$SETUP_NAME Gold"), L"Game Gold");
}

TEST_F(TextLookupTest, CycleOfTranslationsEndsAfterTheLimit)
{
  Row("SETUP_X", "x$SETUP_Y");
  Row("SETUP_Y", "y$SETUP_X");
  std::wstring text = L"$SETUP_X";
  EXPECT_TRUE(ExpandText(text, false));
  // Each replacement leaves one letter behind; after the last one the
  // reference that was next stays as it stands.
  std::wstring expected;
  for (int i = 0; i < MaxTextExpansions / 2; ++i)
    expected += L"xy";
  expected += L"$SETUP_X";
  EXPECT_EQ(text, expected);
}

TEST_F(TextLookupTest, SelfReferenceThatGrowsIsBounded)
{
  Row("SETUP_TWICE", "$SETUP_TWICE$SETUP_TWICE");
  std::wstring text = L"$SETUP_TWICE";
  EXPECT_TRUE(ExpandText(text, false));
  std::wstring reference = L"$SETUP_TWICE";
  EXPECT_EQ(text.size(), reference.size() * (MaxTextExpansions + 1));
}

TEST_F(TextLookupTest, ALongTranslationThatRefersToItselfStopsGrowingAtTheLengthLimit)
{
  Row("SETUP_LONG", (std::string(4000, 'a') + "$SETUP_LONG").c_str());
  std::wstring text = L"$SETUP_LONG";
  EXPECT_TRUE(ExpandText(text, false));
  EXPECT_GT(text.size(), MaxExpandedTextLength);
  EXPECT_LE(text.size(), MaxExpandedTextLength + 4100);
  EXPECT_EQ(text.substr(text.size() - 11), L"$SETUP_LONG");
}

TEST_F(TextLookupTest, ProductNameThatNamesItselfEnds)
{
  std::wstring text = L"%0";
  EXPECT_TRUE(ExpandText(text, true, L"%0"));
  EXPECT_EQ(text, L"%0");
  std::wstring grows = L"%0";
  EXPECT_TRUE(ExpandText(grows, true, L"%0%0"));
  EXPECT_EQ(grows.size(), 2u * (MaxTextExpansions + 1));
}

TEST_F(TextLookupTest, LimitCountsEveryReplacementOfOneCall)
{
  Row("SETUP_K", "k");
  std::wstring text;
  for (int i = 0; i < MaxTextExpansions + 5; ++i)
    text += L"$SETUP_K";
  EXPECT_TRUE(ExpandText(text, false));
  std::wstring expected(static_cast<std::size_t>(MaxTextExpansions), L'k');
  for (int i = 0; i < 5; ++i)
    expected += L"$SETUP_K";
  EXPECT_EQ(text, expected);
}

TEST_F(TextLookupTest, EscapesOfAReferencedTextAreReplaced)
{
  Row("SETUP_TWO_LINES", "one\\ntwo");
  EXPECT_EQ(Expanded(L"<$SETUP_TWO_LINES>"), L"<one\ntwo>");
}

// --- FormatText -------------------------------------------------------------

TEST_F(TextLookupTest, FormatReplacesEveryOccurrence)
{
  EXPECT_EQ(FormatText(L"Cannot copy %1 (%1)", L"a.pbo"), L"Cannot copy a.pbo (a.pbo)");
  EXPECT_EQ(FormatText(L"%1 to %2, %2 from %1", L"A", L"B"), L"A to B, B from A");
}

TEST_F(TextLookupTest, FormatLeavesOtherSigns)
{
  EXPECT_EQ(FormatText(L"%1 %2 %0 %3 %", L"A"), L"A %2 %0 %3 %");
  EXPECT_EQ(FormatText(L"100%", L"A", L"B"), L"100%");
  EXPECT_EQ(FormatText(L"%%1", L"A"), L"%A");
}

TEST_F(TextLookupTest, FormatDoesNotReplaceInsideArguments)
{
  EXPECT_EQ(FormatText(L"%1 and %2", L"%2", L"B"), L"%2 and B");
  EXPECT_EQ(FormatText(L"%1", L"%1%1"), L"%1%1");
  EXPECT_EQ(FormatText(L"%2|%1", L"x%2", L"y%1"), L"y%1|x%2");
}
