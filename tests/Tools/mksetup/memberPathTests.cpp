#include "Tools/mksetup/memberPath.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(MemberPath, SplitsOnEitherSeparator)
{
  std::vector<std::string> components;
  std::string reason;
  ASSERT_TRUE(SplitMemberName("data\\maps/level1.map", components, reason));
  EXPECT_EQ(components, (std::vector<std::string>{"data", "maps", "level1.map"}));
  ASSERT_TRUE(SplitMemberName("..name\\a.b.c\\...x", components, reason)) << reason;
  EXPECT_EQ(components, (std::vector<std::string>{"..name", "a.b.c", "...x"}));
}

TEST(MemberPath, RefusesNamesThatLeaveTheFolderOrThatWindowsRewrites)
{
  for (const char *name : {"",       "\\a",          "/a",          "\\\\server\\share\\a",
                           "c:a",    "C:\\a",        "a\\c:b",      "file.txt:stream",
                           "..",     "a\\..\\..\\b", "a/../b",      ".\\a",
                           "a\\.",   "a\\\\b",       "a\\",         "a\\.. ",
                           "a\\...", "a\\b.",        "a\\b ",       "a\\\x01",
                           "CON",    "nul.txt",      "a\\Com1.log", "lpt9"})
  {
    std::vector<std::string> components{"stale"};
    std::string reason;
    EXPECT_FALSE(SplitMemberName(name, components, reason)) << "'" << name << "'";
    EXPECT_TRUE(components.empty()) << name;
    EXPECT_FALSE(reason.empty()) << name;
  }
}

TEST(MemberPath, AcceptsNamesThatOnlyResembleDevices)
{
  std::vector<std::string> components;
  std::string reason;
  for (const char *name : {"console.txt", "com10", "com0", "lpt", "nul_", "a\\auxiliary"})
    EXPECT_TRUE(SplitMemberName(name, components, reason)) << name << ": " << reason;
}
