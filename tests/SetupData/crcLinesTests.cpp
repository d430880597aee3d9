#include "Setup/Data/crcLines.hpp"

#include "tests/support/tempFolder.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace
{
using Entries = std::vector<std::pair<std::string, std::uint32_t>>;
using Case = std::pair<const char *, std::uint32_t>;

// The entries of a file holding bytes, opened as the installer opens it
// (text mode).
Entries EntriesOfFile(const std::string &bytes)
{
  TempFolder folder;
  std::string name = folder.Write("setup.crc", bytes);
  std::FILE *in = std::fopen(name.c_str(), "r");
  EXPECT_NE(in, nullptr);
  if (!in)
    return {};
  Entries entries;
  for (const CrcLine &line : ReadCrcLines(in))
    entries.emplace_back(line.name, line.crc);
  std::fclose(in);
  return entries;
}

std::pair<std::string, std::uint32_t> Parsed(const char *line)
{
  CrcLine entry;
  EXPECT_TRUE(ParseCrcLine(line, entry)) << line;
  return {entry.name, entry.crc};
}
} // namespace

TEST(CrcNumber, HexDigitsAfterBlanksAndAPrefixUpToTheFirstOtherCharacter)
{
  const Case cases[] = {{"FC891918", 0xFC891918u},
                        {"fc891918", 0xFC891918u},
                        {"0xfc891918", 0xFC891918u},
                        {"0XFC891918", 0xFC891918u},
                        {" \t\n\v\f\rFC891918", 0xFC891918u},
                        {"+1a", 0x1Au},
                        {"12G4", 0x12u},
                        {"ab cd", 0xABu},
                        {"FC891918\r\n", 0xFC891918u},
                        {"0x10x2", 0x10u},
                        // No digits give 0; so does "0x" without a digit after it, where the
                        // "0" is the number.
                        {"", 0u},
                        {"   ", 0u},
                        {"xyz", 0u},
                        {"-", 0u},
                        {"- 1", 0u},
                        {"0x", 0u},
                        {"0xg1", 0u},
                        {"0x 1", 0u},
                        {"0xx1", 0u}};
  for (const auto &[text, value] : cases)
    EXPECT_EQ(ParseCrcNumber(text), value) << "'" << text << "'";
}

TEST(CrcNumber, BeyondThirtyTwoBitsSaturatesAndMinusNegatesModulo2To32)
{
  const Case cases[] = {{"FFFFFFFF", 0xFFFFFFFFu},
                        {"100000000", 0xFFFFFFFFu},
                        {"123456789", 0xFFFFFFFFu},
                        {"FFFFFFFFFFFFFFFFFFFFFFFF", 0xFFFFFFFFu},
                        // The value counts, not the number of digits.
                        {"000000000000FC891918", 0xFC891918u},
                        {"-1", 0xFFFFFFFFu},
                        {"-2", 0xFFFFFFFEu},
                        {"-0x10", 0xFFFFFFF0u},
                        {"-FFFFFFFF", 1u},
                        {"-0", 0u},
                        // Overflow wins over the sign.
                        {"-100000000", 0xFFFFFFFFu}};
  for (const auto &[text, value] : cases)
    EXPECT_EQ(ParseCrcNumber(text), value) << "'" << text << "'";
}

TEST(CrcLine, NameBeforeTheFirstBlankAndTheNumberAfterIt)
{
  EXPECT_EQ(Parsed("data\\a.pbo FC891918"), std::make_pair(std::string("data\\a.pbo"), 0xFC891918u));
  // A second blank is where the number starts; the conversion skips it.
  EXPECT_EQ(Parsed("a.pbo  0x10"), std::make_pair(std::string("a.pbo"), 0x10u));
  // A blank inside the name ends it: the rest of the name is read as the
  // number, up to its first non-hex character.
  EXPECT_EQ(Parsed("My File.pbo FC891918"), std::make_pair(std::string("My"), 0xFu));
  EXPECT_EQ(Parsed(" 12"), std::make_pair(std::string(), 0x12u));
  EXPECT_EQ(Parsed("a.pbo "), std::make_pair(std::string("a.pbo"), 0u));
  // One trailing line feed (or CR LF) ends the number.
  EXPECT_EQ(Parsed("a.pbo 0000ABCD\n"), std::make_pair(std::string("a.pbo"), 0xABCDu));
  EXPECT_EQ(Parsed("a.pbo 1\r\n"), std::make_pair(std::string("a.pbo"), 1u));

  for (const char *refused : {"a.pboFC891918", "a.pbo\tFC891918", "", "\n"})
  {
    CrcLine entry;
    EXPECT_FALSE(ParseCrcLine(refused, entry)) << "'" << refused << "'";
  }
}

TEST(CrcFile, EveryLineThatParsesInFileOrder)
{
  EXPECT_EQ(EntriesOfFile("a.pbo FC891918\nno-blank\n\nb.pbo 0x10\r\nc.pbo -1"),
            (Entries{{"a.pbo", 0xFC891918u}, {"b.pbo", 0x10u}, {"c.pbo", 0xFFFFFFFFu}}));
  EXPECT_TRUE(EntriesOfFile("").empty());
}

TEST(CrcFile, ALineLongerThanTheBufferIsReadInPiecesEachALine)
{
  // The first piece is 1023 characters: "first 1" and letters the number
  // stops at; the rest of the line is a line of its own.
  std::string first = "first 1";
  first += std::string(static_cast<std::size_t>(CrcLineBufferSize - 1) - first.size(), 'z');
  EXPECT_EQ(EntriesOfFile(first + "second 2\nthird 3\n"), (Entries{{"first", 1}, {"second", 2}, {"third", 3}}));
  // A line of exactly 1023 characters fills the piece; its line feed alone
  // comes next and gives nothing.
  EXPECT_EQ(EntriesOfFile(first + "\nthird 3\n"), (Entries{{"first", 1}, {"third", 3}}));
}
