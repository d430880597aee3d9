#include "Es/Strings/rString.hpp"

#include <gtest/gtest.h>

#include <string>

TEST(RStringEmpty, NullHandleReadsAsEmptyText)
{
  RString none;
  RString fromEmpty("");
  RString fromNull(static_cast<const char *>(nullptr));
  for (const RString *s : {&none, &fromEmpty, &fromNull})
  {
    EXPECT_EQ(s->Block(), nullptr);
    EXPECT_STREQ(s->Data(), "");
    EXPECT_EQ(s->GetLength(), 0);
    EXPECT_TRUE(s->IsEmpty());
  }
}

TEST(RStringSharing, CopySharesBlockUntilWritten)
{
  RString original("texture.paa");
  RString copy = original;
  EXPECT_EQ(copy.Block(), original.Block());
  EXPECT_EQ(original.RefCount(), 2);

  char *text = copy.MakeMutable();
  ASSERT_NE(text, nullptr);
  text[0] = 'T';
  EXPECT_STREQ(original.Data(), "texture.paa");
  EXPECT_STREQ(copy.Data(), "Texture.paa");
  EXPECT_NE(copy.Block(), original.Block());
  EXPECT_EQ(original.RefCount(), 1);
  EXPECT_EQ(copy.RefCount(), 1);
}

TEST(RStringSharing, MakeMutableOnSoleOwnerKeepsBlock)
{
  RString s("abc");
  const void *block = s.Block();
  s.MakeMutable()[1] = 'X';
  EXPECT_EQ(s.Block(), block);
  EXPECT_EQ(s, "aXc");
}

TEST(RStringSharing, SelfAssignmentKeepsTheText)
{
  RString s("keep me");
  RString &alias = s;
  s = alias;
  EXPECT_EQ(s, "keep me");
  EXPECT_EQ(s.RefCount(), 1);
  RString copy = s;
  s = copy;
  EXPECT_EQ(s.RefCount(), 2);
}

TEST(RStringSubstring, CutsAndClamps)
{
  RString s("data\\setup.bmp");
  EXPECT_EQ(s.Substring(5), "setup.bmp");
  EXPECT_EQ(s.Substring(5, 5), "setup");
  EXPECT_EQ(s.Substring(5, 1000), "setup.bmp");
  EXPECT_EQ(s.Substring(0, 4), "data");
  EXPECT_EQ(s.Substring(13).Data(), std::string("p"));
  EXPECT_EQ(s.Substring(14).Block(), nullptr);
  EXPECT_EQ(s.Substring(1000).Block(), nullptr);
  EXPECT_EQ(s.Substring(-1).Block(), nullptr);
  EXPECT_EQ(RString().Substring(0).Block(), nullptr);
}

TEST(RStringFormat, BoundsTheResultTo1023Characters)
{
  RString s;
  s.Format("%s=%d", "count", 42);
  EXPECT_EQ(s, "count=42");
  std::string longText(5000, 'q');
  s.Format("%s", longText.c_str());
  EXPECT_EQ(s.GetLength(), 1023);
  s.Format("%s", "");
  EXPECT_EQ(s.Block(), nullptr);
}

TEST(RStringFormat, FromInteger)
{
  EXPECT_EQ(RString::FromInt(0), "0");
  EXPECT_EQ(RString::FromInt(-2147483647 - 1), "-2147483648");
  EXPECT_EQ(RString::FromInt(2147483647), "2147483647");
}

TEST(RStringBuffer, CreateBufferGivesPrivateTerminatedBytes)
{
  RString shared("old");
  RString s = shared;
  char *bytes = s.CreateBuffer(3);
  ASSERT_NE(bytes, nullptr);
  bytes[0] = 'n';
  bytes[1] = 'e';
  bytes[2] = 'w';
  EXPECT_EQ(s, "new");
  EXPECT_EQ(shared, "old");
  EXPECT_EQ(s.CreateBuffer(0), nullptr);
  EXPECT_TRUE(s.IsEmpty());
}

TEST(RStringCompare, ByteOrderAndCaseBlindHelper)
{
  EXPECT_TRUE(RString("a") < RString("b"));
  EXPECT_FALSE(RString("b") < RString("a"));
  EXPECT_TRUE(RString("x") == RString("x"));
  EXPECT_FALSE(RString("x") == RString("X"));
  EXPECT_EQ(CompareNoCase("Setup.DAT", "setup.dat"), 0);
  EXPECT_LT(CompareNoCase("a", "B"), 0);
  EXPECT_GT(CompareNoCase("ab", "A"), 0);
  // Bytes above 0x7F are compared as unsigned and never folded.
  EXPECT_NE(CompareNoCase("\xC4", "\xE4"), 0);
}
