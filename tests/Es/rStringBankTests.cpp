#include "Es/Strings/rStringBank.hpp"

#include "tests/support/capturingFrame.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace
{
std::string Name(int i) { return "member" + std::to_string(i); }
} // namespace

TEST(RStringBankHash, Times33PlusByteWithFoldedCaseWhenInsensitive)
{
  EXPECT_EQ(RStringBank::Hash("", RStringBank::Case::Sensitive), 0u);
  EXPECT_EQ(RStringBank::Hash("ab", RStringBank::Case::Sensitive), 97u * 33 + 98);
  EXPECT_EQ(RStringBank::Hash("AB", RStringBank::Case::Insensitive), 97u * 33 + 98);
  EXPECT_NE(RStringBank::Hash("AB", RStringBank::Case::Sensitive), 97u * 33 + 98);
  // Arithmetic wraps in 32 bits, and bytes above 0x7F count unsigned.
  std::uint32_t expected = 0;
  for (unsigned char c : std::string(40, '\xFF'))
    expected = expected * 33 + c;
  EXPECT_EQ(RStringBank::Hash(std::string(40, '\xFF').c_str(), RStringBank::Case::Sensitive), expected);
}

TEST(RStringBankInterning, EqualTextsShareOneMember)
{
  RStringBank bank(RStringBank::Case::Sensitive);
  const RString &a = bank.FindOrAdd("data\\a.paa");
  const RString &b = bank.FindOrAdd("data\\a.paa");
  EXPECT_EQ(&a, &b);
  EXPECT_EQ(bank.Count(), 1);
  EXPECT_EQ(a.RefCount(), 1);
  EXPECT_EQ(bank.Find("DATA\\A.PAA"), nullptr);
  EXPECT_EQ(bank.Find("data\\a.paa"), &a);
  bank.FindOrAdd("DATA\\A.PAA");
  EXPECT_EQ(bank.Count(), 2);
}

TEST(RStringBankInterning, CaseInsensitiveBankKeepsOneMemberForBothSpellings)
{
  RStringBank bank(RStringBank::Case::Insensitive);
  const RString &first = bank.FindOrAdd("Setup.Dat");
  const RString &second = bank.FindOrAdd("SETUP.DAT");
  EXPECT_EQ(&first, &second);
  EXPECT_EQ(bank.Count(), 1);
  EXPECT_STREQ(second.Data(), "Setup.Dat");
}

TEST(RStringBankInterning, EmptyTextIsNeverAMember)
{
  RStringBank bank(RStringBank::Case::Sensitive);
  EXPECT_TRUE(bank.FindOrAdd("").IsEmpty());
  EXPECT_TRUE(bank.FindOrAdd(nullptr).IsEmpty());
  EXPECT_EQ(bank.Count(), 0);
  EXPECT_EQ(bank.Find(""), nullptr);
}

TEST(RStringBankGrowth, The241stMemberGrows15BucketsTo31)
{
  CapturingFrame quiet;
  RStringBank bank(RStringBank::Case::Sensitive);
  EXPECT_EQ(bank.BucketCount(), 15);
  for (int i = 0; i < 240; ++i)
    bank.FindOrAdd(Name(i).c_str());
  EXPECT_EQ(bank.BucketCount(), 15);
  bank.FindOrAdd(Name(240).c_str());
  EXPECT_EQ(bank.BucketCount(), 31);
  for (int i = 0; i <= 240; ++i)
    ASSERT_NE(bank.Find(Name(i).c_str()), nullptr) << i;
}

TEST(RStringBankGrowth, LaterThresholdsFollowTheDoublingRule)
{
  CapturingFrame quiet;
  RStringBank bank(RStringBank::Case::Sensitive);
  // 31 buckets hold up to 496 members; the 497th starts from i = 32:
  // 32*32-16 = 1008 >= 497, so 63 buckets.
  for (int i = 0; i < 496; ++i)
    bank.FindOrAdd(Name(i).c_str());
  EXPECT_EQ(bank.BucketCount(), 31);
  bank.FindOrAdd(Name(496).c_str());
  EXPECT_EQ(bank.BucketCount(), 63);
  for (int i = 0; i < 497; ++i)
    ASSERT_NE(bank.Find(Name(i).c_str()), nullptr) << i;
}

TEST(RStringBankRemoval, LastMemberOutResetsTheBuckets)
{
  CapturingFrame quiet;
  RStringBank bank(RStringBank::Case::Insensitive);
  for (int i = 0; i < 300; ++i)
    bank.FindOrAdd(Name(i).c_str());
  EXPECT_EQ(bank.BucketCount(), 31);
  bank.Remove("MEMBER7");
  EXPECT_EQ(bank.Find("member7"), nullptr);
  EXPECT_EQ(bank.Count(), 299);
  bank.Remove("not there");
  EXPECT_EQ(bank.Count(), 299);
  for (int i = 0; i < 300; ++i)
    bank.Remove(Name(i).c_str());
  EXPECT_EQ(bank.Count(), 0);
  EXPECT_EQ(bank.BucketCount(), 15);
  bank.FindOrAdd("again");
  EXPECT_NE(bank.Find("AGAIN"), nullptr);
}

TEST(RStringBankDestruction, ReportsLateReleasesAndStillReleases)
{
  CapturingFrame frame;
  RString survivor;
  {
    RStringBank bank(RStringBank::Case::Sensitive);
    survivor = bank.FindOrAdd("still used");
    bank.FindOrAdd("unused");
  }
  ASSERT_EQ(frame.lines.size(), 2u);
  EXPECT_EQ(frame.lines[0], "RStringBank destruct");
  EXPECT_EQ(frame.lines[1], "Error: String still used late release (2)");
  EXPECT_EQ(survivor.RefCount(), 1);
  EXPECT_EQ(survivor, "still used");
}

TEST(RStringBanked, HandlesOfTheSameTextShareTheBlock)
{
  RStringB a("config\\cfgWeapons");
  RStringB b(std::string("config\\cfgWeapons").c_str());
  RStringB c("config\\CfgWeapons");
  EXPECT_TRUE(a == b);
  EXPECT_FALSE(a == c);
  EXPECT_EQ(a.String().Block(), b.String().Block());
}

TEST(RStringBanked, CaseInsensitiveMemberLeavesWithItsLastHandle)
{
  RStringBank &bank = CaseInsensitiveStringBank();
  int before = bank.Count();
  {
    auto first = std::make_unique<RStringIB>("Banked.Member");
    RStringIB second("BANKED.MEMBER");
    EXPECT_TRUE(*first == second);
    EXPECT_EQ(bank.Count(), before + 1);
    EXPECT_EQ(second.String().RefCount(), 3);
    first.reset();
    EXPECT_EQ(bank.Count(), before + 1);
  }
  EXPECT_EQ(bank.Count(), before);
  EXPECT_EQ(bank.Find("banked.member"), nullptr);
}

TEST(RStringBanked, ReleasingAStaleHandleLeavesANewerMemberAlone)
{
  RStringBank &bank = CaseInsensitiveStringBank();
  auto stale = std::make_unique<RStringIB>("stale.name");
  // Someone removes the member while a handle and a plain copy still hold it.
  RString plainCopy = stale->String();
  bank.Remove("stale.name");
  RStringIB fresh("STALE.NAME");
  EXPECT_FALSE(*stale == fresh);
  stale.reset();
  ASSERT_NE(bank.Find("stale.name"), nullptr);
  EXPECT_EQ(bank.Find("stale.name")->Block(), fresh.String().Block());
  EXPECT_EQ(plainCopy, "stale.name");
}

TEST(RStringBanked, CaseSensitiveMembersStayInTheBank)
{
  RStringBank &bank = CaseSensitiveStringBank();
  {
    RStringB handle("kept.until.exit");
  }
  const RString *member = bank.Find("kept.until.exit");
  ASSERT_NE(member, nullptr);
  EXPECT_EQ(member->RefCount(), 1);
}
