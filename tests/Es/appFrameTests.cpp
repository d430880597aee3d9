#include "Es/Framework/appFrame.hpp"

#include "tests/support/capturingFrame.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{
int FormatLine(char (&buffer)[LogLineBufferSize], const char *format, ...)
{
  va_list argptr;
  va_start(argptr, format);
  int length = FormatLogLine(buffer, format, argptr);
  va_end(argptr);
  return length;
}
} // namespace

TEST(AppFrameLogLine, ShortMessageGetsLineFeed)
{
  char buffer[LogLineBufferSize];
  EXPECT_EQ(FormatLine(buffer, "Load bank %s", "x.pbo"), 16);
  EXPECT_STREQ(buffer, "Load bank x.pbo\n");
}

TEST(AppFrameLogLine, MessageOf510CharactersStillGetsLineFeed)
{
  std::string message(510, 'a');
  char buffer[LogLineBufferSize];
  EXPECT_EQ(FormatLine(buffer, "%s", message.c_str()), 511);
  EXPECT_EQ(buffer[510], '\n');
  EXPECT_EQ(buffer[511], '\0');
}

TEST(AppFrameLogLine, LongerMessageIsCutTo511CharactersWithoutLineFeed)
{
  for (int size : {511, 512, 5000})
  {
    std::string message(static_cast<std::size_t>(size), 'b');
    char buffer[LogLineBufferSize];
    EXPECT_EQ(FormatLine(buffer, "%s", message.c_str()), 511) << size;
    EXPECT_EQ(std::strlen(buffer), 511u);
    EXPECT_EQ(buffer[510], 'b');
  }
}

TEST(AppFrameForwarding, OverridingLogAloneCapturesEveryChannel)
{
  CapturingFrame frame;
  LogF("log %d", 1);
  WarningF("warning %d", 2);
  ErrorMessageF("error %d", 3);
  ErrorMessageLevelF("level %d", 4);
  ErrorReportF("report %s", "five");
  LogLevelF(7, "loglevel %d", 6);
  ReadErrorReportF("File '%s' read error %x", "a.bin", 0x1e);
  ASSERT_EQ(frame.lines.size(), 7u);
  EXPECT_EQ(frame.lines[0], "log 1");
  EXPECT_EQ(frame.lines[1], "warning 2");
  EXPECT_EQ(frame.lines[2], "error 3");
  EXPECT_EQ(frame.lines[3], "level 4");
  EXPECT_EQ(frame.lines[4], "report five");
  EXPECT_EQ(frame.lines[5], "loglevel 6");
  EXPECT_EQ(frame.lines[6], "File 'a.bin' read error 1e");
}

TEST(AppFrameForwarding, ShowMessageIsNotALogLineAndIsFormattedFirst)
{
  struct ShowFrame : CapturingFrame
  {
    void ShowMessage(int level, const char *text) override { shown = std::to_string(level) + ":" + text; }
    std::string shown;
  } frame;
  std::string longText(2000, 'x');
  ShowMessageF(3, "%s", longText.c_str());
  EXPECT_TRUE(frame.lines.empty());
  EXPECT_EQ(frame.shown, "3:" + std::string(511, 'x'));
}

TEST(AppFrameForwarding, RestoringTheFrameStopsCapture)
{
  std::size_t captured = 0;
  {
    CapturingFrame frame;
    LogF("inside");
    captured = frame.lines.size();
  }
  EXPECT_EQ(captured, 1u);
  EXPECT_NE(CurrentAppFrameFunctions, nullptr);
  // The default frame answers its queries without a host.
  EXPECT_EQ(CurrentAppFrameFunctions->QueryState(), 0);
  EXPECT_STREQ(CurrentAppFrameFunctions->QueryName(), "");
}

TEST(AppFrameChecks, InternalCheckFormats)
{
  CapturingFrame frame;
  ReportCheckFailure("Es/Containers/array", 811, "Array index out of range");
  ReportAssertionFailure("Es/Memory/memAlloc", 300, "_size>=0");
  ASSERT_EQ(frame.lines.size(), 2u);
  EXPECT_EQ(frame.lines[0], "Es/Containers/array(811) : Array index out of range");
  EXPECT_EQ(frame.lines[1], "Es/Memory/memAlloc(300) : Assertion failed '_size>=0'");
}
