#include "Es/Common/crc32Table.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

namespace
{
// The checksum bit by bit, straight from its definition.
std::uint32_t BitwiseCrc(const std::string &bytes)
{
  std::uint32_t value = 0xFFFFFFFFu;
  for (unsigned char byte : bytes)
  {
    value ^= std::uint32_t(byte) << 24;
    for (int bit = 0; bit < 8; ++bit)
      value = (value & 0x80000000u) ? (value << 1) ^ 0x04C11DB7u : value << 1;
  }
  return ~value;
}

std::string RandomText(std::size_t size, unsigned seed)
{
  std::mt19937 random(seed);
  std::string text(size, '\0');
  for (char &c : text)
    c = static_cast<char>(random());
  return text;
}
} // namespace

TEST(Crc32Table, KnownValues)
{
  EXPECT_EQ(Crc32Of("123456789", 9), 0xFC891918u);
  EXPECT_EQ(Crc32Of("", 0), 0x00000000u);
  // Not zlib's reflected CRC-32 (0xCBF43926 for the same text).
  EXPECT_NE(Crc32Of("123456789", 9), 0xCBF43926u);
}

TEST(Crc32Table, EveryLengthAndSplitMatchesTheBitwiseDefinition)
{
  std::string data = RandomText(300, 1);
  for (std::size_t length = 0; length <= data.size(); ++length)
  {
    std::string part = data.substr(0, length);
    ASSERT_EQ(Crc32Of(part.data(), part.size()), BitwiseCrc(part)) << "length " << length;
  }
  // Chunks of every size, as the copy worker feeds them.
  for (std::size_t chunk = 1; chunk <= 19; ++chunk)
  {
    Crc32Table crc;
    for (std::size_t at = 0; at < data.size(); at += chunk)
      crc.Crc32Update(data.data() + at, std::min(chunk, data.size() - at));
    EXPECT_EQ(crc.Crc32Value(), BitwiseCrc(data)) << "chunk " << chunk;
  }
}

TEST(Crc32Table, LongInputsSplitAnywhereMatchTheBitwiseDefinition)
{
  // Long inputs, split anywhere, with a tail shorter than one step.
  std::string data = RandomText(3 * 4096 * 3 + 77, 2);
  std::uint32_t expected = BitwiseCrc(data);
  EXPECT_EQ(Crc32Of(data.data(), data.size()), expected);
  for (std::size_t split :
       {std::size_t(1), std::size_t(4095), std::size_t(12288), std::size_t(12289), std::size_t(20000)})
  {
    Crc32Table crc;
    crc.Crc32Update(data.data(), split);
    crc.Crc32Update(data.data() + split, data.size() - split);
    EXPECT_EQ(crc.Crc32Value(), expected) << "split " << split;
  }
}

TEST(Crc32Table, ResetStartsAfresh)
{
  Crc32Table crc;
  crc.Crc32Update("garbage", 7);
  crc.Crc32Reset();
  crc.Crc32Update("123456789", 9);
  EXPECT_EQ(crc.Crc32Value(), 0xFC891918u);
}
