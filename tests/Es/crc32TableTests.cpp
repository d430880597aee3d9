#include "Es/Common/crc32Table.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace
{
// The checksum register bit by bit, straight from its definition.
std::uint32_t BitwiseUpdate(std::uint32_t value, const unsigned char *bytes, std::size_t count)
{
  for (std::size_t i = 0; i < count; ++i)
  {
    value ^= std::uint32_t(bytes[i]) << 24;
    for (int bit = 0; bit < 8; ++bit)
      value = (value & 0x80000000u) ? (value << 1) ^ 0x04C11DB7u : value << 1;
  }
  return value;
}

std::uint32_t BitwiseCrc(const unsigned char *bytes, std::size_t count)
{
  return ~BitwiseUpdate(0xFFFFFFFFu, bytes, count);
}

std::vector<unsigned char> RandomBytes(std::size_t size, unsigned seed)
{
  std::mt19937 random(seed);
  std::vector<unsigned char> bytes(size);
  for (unsigned char &byte : bytes)
    byte = static_cast<unsigned char>(random());
  return bytes;
}

// A few MiB with a checksum worked out once, bit by bit.
struct LongInput
{
  std::vector<unsigned char> bytes = RandomBytes((std::size_t(3) << 20) + 77, 2);
  std::uint32_t crc = BitwiseCrc(bytes.data(), bytes.size());
};

const LongInput &Long()
{
  static const LongInput input;
  return input;
}

// Feeds `bytes` in pieces whose sizes come from `nextSize`.
template <typename NextSize> std::uint32_t ChunkedCrc(const std::vector<unsigned char> &bytes, NextSize nextSize)
{
  Crc32Table crc;
  for (std::size_t at = 0; at < bytes.size();)
  {
    std::size_t size = std::min<std::size_t>(nextSize(), bytes.size() - at);
    crc.Crc32Update(bytes.data() + at, size);
    at += size;
  }
  return crc.Crc32Value();
}
} // namespace

TEST(Crc32Table, KnownValues)
{
  EXPECT_EQ(Crc32Of("123456789", 9), 0xFC891918u);
  EXPECT_EQ(Crc32Of("", 0), 0x00000000u);
  // Not zlib's reflected CRC-32 (0xCBF43926 for the same text).
  EXPECT_NE(Crc32Of("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(~Crc32SlicedUpdate(0xFFFFFFFFu, "123456789", 9), 0xFC891918u);
  // The reference the other tests compare with is this checksum.
  const unsigned char check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(BitwiseCrc(check, sizeof check), 0xFC891918u);
}

// Lengths across every 16- and 64-byte boundary of the folding path up to
// several steps, from addresses of every alignment, through both paths.
TEST(Crc32Table, EveryLengthAtEveryAlignmentMatchesTheBitwiseDefinition)
{
  std::vector<unsigned char> data = RandomBytes(600 + 16, 1);
  for (std::size_t offset = 0; offset < 16; ++offset)
    for (std::size_t length = 0; length <= 600; ++length)
    {
      const unsigned char *start = data.data() + offset;
      std::uint32_t expected = BitwiseCrc(start, length);
      ASSERT_EQ(Crc32Of(start, length), expected) << "offset " << offset << " length " << length;
      ASSERT_EQ(~Crc32SlicedUpdate(0xFFFFFFFFu, start, length), expected)
          << "offset " << offset << " length " << length;
    }
}

// The register left by earlier bytes lands on the first bytes of the next
// piece, whatever that piece's length.
TEST(Crc32Table, EveryLengthContinuesFromTheRegisterLeftByEarlierBytes)
{
  std::vector<unsigned char> data = RandomBytes(600 + 7, 3);
  for (std::size_t length = 0; length <= 600; ++length)
  {
    std::size_t prefix = 1 + length % 7;
    const unsigned char *piece = data.data() + prefix;
    std::uint32_t running = BitwiseUpdate(0xFFFFFFFFu, data.data(), prefix);
    std::uint32_t expected = BitwiseUpdate(running, piece, length);
    Crc32Table crc;
    crc.Crc32Update(data.data(), prefix);
    crc.Crc32Update(piece, length);
    ASSERT_EQ(crc.Crc32Value(), ~expected) << "length " << length;
    ASSERT_EQ(Crc32SlicedUpdate(running, piece, length), expected) << "length " << length;
  }
}

TEST(Crc32Table, ChunkingDoesNotChangeTheResult)
{
  // Small chunks of every size over a short input.
  std::vector<unsigned char> shortInput = RandomBytes(300, 5);
  std::uint32_t shortCrc = BitwiseCrc(shortInput.data(), shortInput.size());
  for (std::size_t chunk = 1; chunk <= 19; ++chunk)
    EXPECT_EQ(ChunkedCrc(shortInput, [chunk] { return chunk; }), shortCrc) << "chunk " << chunk;

  const LongInput &input = Long();
  EXPECT_EQ(Crc32Of(input.bytes.data(), input.bytes.size()), input.crc);
  EXPECT_EQ(ChunkedCrc(input.bytes, [] { return std::size_t(1); }), input.crc);
  EXPECT_EQ(ChunkedCrc(input.bytes, [] { return std::size_t(262144); }), input.crc);
  for (std::size_t split : {std::size_t(1), std::size_t(63), std::size_t(64), std::size_t(4095), std::size_t(65537)})
  {
    Crc32Table crc;
    crc.Crc32Update(input.bytes.data(), split);
    crc.Crc32Update(input.bytes.data() + split, input.bytes.size() - split);
    EXPECT_EQ(crc.Crc32Value(), input.crc) << "split " << split;
  }

  // Random pieces: many short enough for the table path, many just over
  // one 64-byte folding step, a few long.
  for (unsigned seed = 0; seed < 8; ++seed)
  {
    std::mt19937 random(seed);
    auto nextSize = [&random]() -> std::size_t
    {
      switch (random() % 4)
      {
      case 0:
        return random() % 64;
      case 1:
        return 64 + random() % 80;
      case 2:
        return random() % 4096;
      default:
        return random() % 300000;
      }
    };
    EXPECT_EQ(ChunkedCrc(input.bytes, nextSize), input.crc) << "seed " << seed;
  }
}

TEST(Crc32Table, SlicedPathAloneHandlesLongInputs)
{
  const LongInput &input = Long();
  EXPECT_EQ(~Crc32SlicedUpdate(0xFFFFFFFFu, input.bytes.data(), input.bytes.size()), input.crc);
  std::uint32_t running = 0xFFFFFFFFu;
  std::size_t split = 100003;
  running = Crc32SlicedUpdate(running, input.bytes.data(), split);
  running = Crc32SlicedUpdate(running, input.bytes.data() + split, input.bytes.size() - split);
  EXPECT_EQ(~running, input.crc);
}

TEST(Crc32Table, ResetStartsAfresh)
{
  Crc32Table crc;
  crc.Crc32Update("garbage", 7);
  crc.Crc32Reset();
  crc.Crc32Update("123456789", 9);
  EXPECT_EQ(crc.Crc32Value(), 0xFC891918u);
}
