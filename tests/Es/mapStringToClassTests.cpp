#include "Es/Containers/mapStringToClass.hpp"
#include "Es/Strings/rString.hpp"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace
{
struct Item
{
  RString name;
  int value = 0;
  const char *GetKey() const { return name; }
};

using CaseMap = MapStringToClass<Item>;
using NoCaseMap = MapStringToClass<Item, MapStringToClassNoCaseTraits<Item>>;

std::string Name(int i) { return "item_" + std::to_string(i); }
} // namespace

TEST(MapStringToClass, EmptyMapFindsAndRemovesNothing)
{
  CaseMap map;
  EXPECT_EQ(map.Size(), 0);
  EXPECT_EQ(map.Find("x"), nullptr);
  EXPECT_FALSE(map.Remove("x"));
}

TEST(MapStringToClass, GrowingKeepsEveryItem)
{
  CaseMap map;
  constexpr int Count = 5000;
  int bucketsSeen = 0;
  for (int i = 0; i < Count; ++i)
  {
    map.Add(Item{Name(i).c_str(), i});
    if (map.BucketCount() != bucketsSeen)
    {
      // Right after a growth every item so far must still be found.
      bucketsSeen = map.BucketCount();
      for (int j = 0; j <= i; ++j)
        ASSERT_NE(map.Find(Name(j).c_str()), nullptr) << "lost " << j << " growing to " << bucketsSeen;
    }
  }
  EXPECT_EQ(map.Size(), Count);
  EXPECT_GT(map.BucketCount(), Count / 4);
  for (int i = 0; i < Count; ++i)
  {
    const Item *item = map.Find(Name(i).c_str());
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->value, i);
  }
  int visited = 0;
  long long sum = 0;
  map.ForEach(
      [&](const Item &item)
      {
        ++visited;
        sum += item.value;
      });
  EXPECT_EQ(visited, Count);
  EXPECT_EQ(sum, static_cast<long long>(Count) * (Count - 1) / 2);
}

TEST(MapStringToClass, RemoveTakesOnlyThatKey)
{
  CaseMap map;
  for (int i = 0; i < 100; ++i)
    map.Add(Item{Name(i).c_str(), i});
  EXPECT_TRUE(map.Remove(Name(42).c_str()));
  EXPECT_FALSE(map.Remove(Name(42).c_str()));
  EXPECT_EQ(map.Size(), 99);
  EXPECT_EQ(map.Find(Name(42).c_str()), nullptr);
  for (int i = 0; i < 100; ++i)
  {
    if (i != 42)
    {
      EXPECT_NE(map.Find(Name(i).c_str()), nullptr) << i;
    }
  }
}

TEST(MapStringToClass, ClearEmptiesAndTheMapIsUsableAgain)
{
  CaseMap map;
  for (int i = 0; i < 100; ++i)
    map.Add(Item{Name(i).c_str(), i});
  map.Clear();
  EXPECT_EQ(map.Size(), 0);
  EXPECT_EQ(map.Find(Name(1).c_str()), nullptr);
  map.Add(Item{"again", 7});
  ASSERT_NE(map.Find("again"), nullptr);
  EXPECT_EQ(map.Find("again")->value, 7);
}

TEST(MapStringToClass, DefaultTraitsTellCaseApart)
{
  CaseMap map;
  map.Add(Item{"Key", 1});
  EXPECT_NE(map.Find("Key"), nullptr);
  EXPECT_EQ(map.Find("key"), nullptr);
  EXPECT_EQ(map.Find("KEY"), nullptr);
}

TEST(MapStringToClass, NoCaseTraitsFindAndRemoveWhateverTheCase)
{
  NoCaseMap map;
  for (int i = 0; i < 200; ++i)
    map.Add(Item{("Setup_Str_" + std::to_string(i)).c_str(), i});
  const Item *item = map.Find("SETUP_STR_17");
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->value, 17);
  ASSERT_NE(map.Find("setup_str_199"), nullptr);
  EXPECT_EQ(map.Find("setup_str_199")->value, 199);
  EXPECT_TRUE(map.Remove("sEtUp_StR_17"));
  EXPECT_EQ(map.Find("Setup_Str_17"), nullptr);
}

TEST(MapStringToClass, NoCaseFoldsAsciiLettersOnly)
{
  using Traits = MapStringToClassNoCaseTraits<Item>;
  EXPECT_TRUE(Traits::Equal("ABC_xyz", "abc_XYZ"));
  EXPECT_FALSE(Traits::Equal("abc", "abcd"));
  EXPECT_FALSE(Traits::Equal("abcd", "abc"));
  // "@" and "`" sit beside the letters; "[" beside "Z": none of them folds.
  EXPECT_FALSE(Traits::Equal("@", "`"));
  EXPECT_FALSE(Traits::Equal("[", "{"));
  // Bytes above 127 are compared as they are.
  EXPECT_FALSE(Traits::Equal("\xC4", "\xE4"));
  EXPECT_NE(Traits::Hash("\xC4"), Traits::Hash("\xE4"));
}

TEST(MapStringToClass, HashOfAKnownKey)
{
  using NoCase = MapStringToClassNoCaseTraits<Item>;
  using Case = MapStringToClassTraits<Item>;
  // hash = hash * 33 + byte from 0: "ab" = 97 * 33 + 98.
  EXPECT_EQ(NoCase::Hash("ab"), 97u * 33u + 98u);
  EXPECT_EQ(NoCase::Hash("AB"), 97u * 33u + 98u);
  EXPECT_EQ(Case::Hash("AB"), 65u * 33u + 66u);
  EXPECT_EQ(NoCase::Hash(""), 0u);
  // A long key wraps in 32 bits: the value computed independently here.
  std::uint32_t expected = 0;
  for (char c : std::string("setup_str_app_name"))
    expected = expected * 33u + static_cast<unsigned char>(c);
  EXPECT_EQ(NoCase::Hash("SETUP_STR_APP_NAME"), expected);
  EXPECT_EQ(NoCase::Hash("SETUP_STR_APP_NAME"), 484068489u);
}

TEST(MapStringToClass, AddDoesNotLookForTheSameKey)
{
  // The map leaves uniqueness to its callers: a second Add stores a second item.
  CaseMap map;
  map.Add(Item{"same", 1});
  map.Add(Item{"same", 2});
  EXPECT_EQ(map.Size(), 2);
  EXPECT_EQ(map.Find("same")->value, 1);
  EXPECT_TRUE(map.Remove("same"));
  EXPECT_EQ(map.Find("same")->value, 2);
}
