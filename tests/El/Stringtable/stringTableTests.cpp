#include "El/Stringtable/stringTable.hpp"
#include "El/Stringtable/stringtableLoader.hpp"

#include "tests/support/capturingFrame.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// Checks, once every test has run, that the tests left the process-wide
// state as they found it: no tables, English.
class ProcessStateCheck : public ::testing::Environment
{
public:
  void TearDown() override
  {
    EXPECT_EQ(GStringTables().Count(), 0) << "a test left tables behind";
    EXPECT_EQ(GetStringtableLanguage(), "English") << "a test left the language changed";
  }
};
[[maybe_unused]] ::testing::Environment *const processStateCheck =
    ::testing::AddGlobalTestEnvironment(new ProcessStateCheck);

class StringTableSetTest : public ::testing::Test
{
protected:
  void SetUp() override { GStringTables().Clear(); }
  void TearDown() override { GStringTables().Clear(); }

  static std::vector<std::string> Names(const StringTableSet &set)
  {
    std::vector<std::string> names;
    for (int i = 0; i < set.Count(); ++i)
      names.emplace_back(set[i].GetName().Data());
    return names;
  }

  CapturingFrame frame;
};
} // namespace

TEST(StringTable, KeysCompareWithoutCase)
{
  StringTable table("global", 0);
  EXPECT_TRUE(table.Add("Setup_Str_App_Name", "Setup"));
  const RString *text = table.Find("SETUP_STR_APP_NAME");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(*text, "Setup");
  EXPECT_NE(table.Find("setup_str_app_name"), nullptr);
  EXPECT_EQ(table.Find("SETUP_STR_APP"), nullptr);
}

TEST(StringTable, AddKeepsTheFirstTextOfAKey)
{
  StringTable table("global", 0);
  EXPECT_TRUE(table.Add("KEY", "first"));
  EXPECT_FALSE(table.Add("key", "second"));
  EXPECT_EQ(table.Size(), 1);
  EXPECT_EQ(*table.Find("Key"), "first");
}

TEST(StringTable, TextsAreSharedNotCopied)
{
  StringTable table("global", 0);
  RString text("Installation");
  table.Add("KEY", text);
  EXPECT_EQ(table.Find("KEY")->Block(), text.Block());
  EXPECT_EQ(text.RefCount(), 2);
}

TEST(StringTable, ManyKeysAllFound)
{
  StringTable table("global", 0);
  for (int i = 0; i < 5000; ++i)
    ASSERT_TRUE(table.Add(("SETUP_KEY_" + std::to_string(i)).c_str(), ("text " + std::to_string(i)).c_str()));
  EXPECT_EQ(table.Size(), 5000);
  for (int i = 0; i < 5000; ++i)
  {
    const RString *text = table.Find(("setup_key_" + std::to_string(i)).c_str());
    ASSERT_NE(text, nullptr) << i;
    EXPECT_EQ(*text, ("text " + std::to_string(i)).c_str());
  }
  int visited = 0;
  table.ForEach([&visited](const StringTableEntry &) { ++visited; });
  EXPECT_EQ(visited, 5000);
}

TEST(StringTable, ClearEmptiesTheTableKeepingNameAndPriority)
{
  StringTable table("global", 2.5f);
  table.Add("A", "a");
  table.Clear();
  EXPECT_EQ(table.Size(), 0);
  EXPECT_EQ(table.Find("A"), nullptr);
  EXPECT_EQ(table.GetName(), "global");
  EXPECT_EQ(table.GetPriority(), 2.5f);
  EXPECT_TRUE(table.Add("A", "again"));
}

TEST(StringTable, EmptyKeyAndEmptyTextAreEntriesLikeAnyOther)
{
  StringTable table("global", 0);
  EXPECT_TRUE(table.Add("EMPTY", RString()));
  ASSERT_NE(table.Find("EMPTY"), nullptr);
  EXPECT_TRUE(table.Find("EMPTY")->IsEmpty());
}

TEST_F(StringTableSetTest, DescendingPriorityEqualPrioritiesKeepTheirAge)
{
  StringTableSet &set = GStringTables();
  set.FindOrInsert("zero-old", 0);
  set.FindOrInsert("five-old", 5);
  set.FindOrInsert("zero-new", 0);
  set.FindOrInsert("minus", -1);
  set.FindOrInsert("five-new", 5);
  set.FindOrInsert("ten", 10);
  set.FindOrInsert("zero-newest", 0);
  EXPECT_EQ(Names(set),
            (std::vector<std::string>{"ten", "five-old", "five-new", "zero-old", "zero-new", "zero-newest", "minus"}));
}

TEST_F(StringTableSetTest, FindOrInsertAnswersTheExistingTableWhateverTheCase)
{
  StringTableSet &set = GStringTables();
  StringTable &global = set.FindOrInsert("global", 0);
  StringTable &again = set.FindOrInsert("GLOBAL", 7);
  EXPECT_EQ(&global, &again);
  EXPECT_EQ(set.Count(), 1);
  EXPECT_EQ(again.GetPriority(), 0.0f);
  EXPECT_EQ(set.Find("Global"), &global);
  EXPECT_EQ(set.Find("other"), nullptr);
}

TEST_F(StringTableSetTest, LookupTakesTheFirstTableInListOrder)
{
  StringTableSet &set = GStringTables();
  StringTable &low = set.FindOrInsert("low", 0);
  StringTable &high = set.FindOrInsert("high", 1);
  low.Add("SHARED", "low");
  low.Add("ONLY_LOW", "only low");
  high.Add("shared", "high");
  EXPECT_STREQ(set.Lookup("Shared").Data(), "high");
  EXPECT_STREQ(set.Lookup("only_low").Data(), "only low");
  EXPECT_TRUE(frame.lines.empty());
}

TEST_F(StringTableSetTest, LookupOfAMissingKeyWarnsAndAnswersEmpty)
{
  StringTableSet &set = GStringTables();
  set.FindOrInsert("global", 0).Add("A", "a");
  RString text = set.Lookup("SETUP_MISSING");
  EXPECT_TRUE(text.IsEmpty());
  ASSERT_EQ(frame.lines.size(), 1u);
  EXPECT_EQ(frame.lines[0], "String SETUP_MISSING not found");
}

TEST_F(StringTableSetTest, LookupWithNoTablesWarns)
{
  EXPECT_TRUE(GStringTables().Lookup("SETUP_STR_APP_NAME").IsEmpty());
  EXPECT_TRUE(frame.Contains("String SETUP_STR_APP_NAME not found"));
}

TEST_F(StringTableSetTest, LookupHandsOutTheStoredText)
{
  RString stored("shared text");
  GStringTables().FindOrInsert("global", 0).Add("K", stored);
  RString found = GStringTables().Lookup("k");
  EXPECT_EQ(found.Block(), stored.Block());
}

TEST_F(StringTableSetTest, QuietFindNeverWarns)
{
  StringTableSet &set = GStringTables();
  set.FindOrInsert("global", 0).Add("A", "a");
  ASSERT_NE(set.Find("a", true), nullptr);
  EXPECT_EQ(*set.Find("a", true), "a");
  EXPECT_EQ(set.Find("B", true), nullptr);
  EXPECT_TRUE(frame.lines.empty());
}

TEST_F(StringTableSetTest, ClearDropsEveryTable)
{
  StringTableSet &set = GStringTables();
  set.FindOrInsert("a", 0).Add("K", "v");
  set.FindOrInsert("b", 1);
  set.Clear();
  EXPECT_EQ(set.Count(), 0);
  EXPECT_EQ(set.Find("a"), nullptr);
  EXPECT_EQ(set.Find("K", true), nullptr);
}

TEST_F(StringTableSetTest, ProcessWideSetIsOneObject)
{
  EXPECT_EQ(&GStringTables(), &GStringTables());
  GStringTables().FindOrInsert("global", 0);
  EXPECT_EQ(GStringTables().Count(), 1);
}
