#include "El/QStream/qStream.hpp"

#include <gtest/gtest.h>

#include <string>

namespace
{
std::string Line(QIStream &stream)
{
  char line[256];
  stream.getLine(line, sizeof line);
  return line;
}
} // namespace

TEST(QIPreprocessedStream, CountsLinesAsTheReaderCrossesThem)
{
  const char text[] = "first\nsecond\n\nfourth";
  auto *source = new QIStrStream(text, sizeof text - 1);
  QIPreprocessedStream stream(source);
  stream.SetSourcePosition("setup.csv", 1);
  EXPECT_EQ(stream.SourcePosition().line, 1);
  EXPECT_EQ(Line(stream), "first");
  EXPECT_EQ(stream.SourcePosition().line, 1);
  EXPECT_EQ(Line(stream), "second");
  EXPECT_EQ(stream.SourcePosition().line, 2);
  EXPECT_EQ(Line(stream), "");
  EXPECT_EQ(Line(stream), "fourth");
  EXPECT_EQ(stream.SourcePosition().line, 4);
  EXPECT_STREQ(stream.SourcePosition().file, "setup.csv");
  EXPECT_EQ(stream.get(), -1);
}

TEST(QIPreprocessedStream, SegmentsAreLinesSharingTheSourceBuffer)
{
  const char text[] = "ab\ncd\n";
  auto *source = new QIStrStream(text, sizeof text - 1);
  QIPreprocessedStream stream(source);
  EXPECT_EQ(stream.get(), 'a');
  EXPECT_EQ(stream.CurrentSegment().buffer->Data(), text);
  EXPECT_EQ(stream.CurrentSegment().length, 3u);
  stream.seekg(2);
  EXPECT_EQ(stream.get(), '\n');
  EXPECT_EQ(stream.get(), 'c');
  EXPECT_EQ(stream.CurrentSegment().length, 6u);
}

TEST(QIPreprocessedStream, ContinuesWhereTheSourceStood)
{
  const char text[] = "\xEF\xBB\xBFline1\nline2";
  auto *source = new QIStrStream(text, sizeof text - 1);
  char bom[3];
  ASSERT_EQ(source->read(bom, 3), 3);
  QIPreprocessedStream stream(source);
  EXPECT_EQ(Line(stream), "line1");
  EXPECT_EQ(Line(stream), "line2");
}

TEST(QIPreprocessedStream, OnlyTheNextPositionIsServed)
{
  const char text[] = "one\ntwo\nthree\n";
  auto *source = new QIStrStream(text, sizeof text - 1);
  QIPreprocessedStream stream(source);
  EXPECT_EQ(Line(stream), "one");
  // Ahead, outside the current line: the stream is strictly sequential.
  stream.seekg(10);
  EXPECT_EQ(stream.get(), -1);
  EXPECT_TRUE(stream.eof());
}

TEST(QIPreprocessedStream, NoSourceGivesNothing)
{
  QIPreprocessedStream stream(nullptr);
  EXPECT_EQ(stream.Size(), 0u);
  EXPECT_EQ(stream.get(), -1);
}
