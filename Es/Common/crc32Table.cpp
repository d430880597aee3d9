#include "Es/Common/crc32Table.hpp"

#include <array>
#include <bit>
#include <cstring>

namespace
{
constexpr std::uint32_t Polynomial = 0x04C11DB7u;
constexpr int Slices = 16;

// Tables[0] is the byte table; Tables[k][i] is the remainder of byte i
// followed by k zero bytes, so sixteen bytes are folded in with sixteen
// lookups that do not wait on each other.
using SliceTables = std::array<std::array<std::uint32_t, 256>, Slices>;

constexpr SliceTables MakeTables()
{
  SliceTables tables{};
  for (std::uint32_t i = 0; i < 256; ++i)
  {
    std::uint32_t c = i << 24;
    for (int bit = 0; bit < 8; ++bit)
      c = (c & 0x80000000u) ? (c << 1) ^ Polynomial : c << 1;
    tables[0][i] = c;
  }
  for (int k = 1; k < Slices; ++k)
    for (std::uint32_t i = 0; i < 256; ++i)
    {
      std::uint32_t previous = tables[k - 1][i];
      tables[k][i] = (previous << 8) ^ tables[0][previous >> 24];
    }
  return tables;
}

constexpr SliceTables Tables = MakeTables();

constexpr std::uint64_t ByteSwap(std::uint64_t word)
{
  word = ((word & 0x00FF00FF00FF00FFull) << 8) | ((word >> 8) & 0x00FF00FF00FF00FFull);
  word = ((word & 0x0000FFFF0000FFFFull) << 16) | ((word >> 16) & 0x0000FFFF0000FFFFull);
  return (word << 32) | (word >> 32);
}
static_assert(Tables[0][1] == Polynomial);
} // namespace

const std::uint32_t *Crc32Table::Table() { return Tables[0].data(); }

void Crc32Table::Crc32Update(const void *bytes, std::size_t count)
{
  const unsigned char *p = static_cast<const unsigned char *>(bytes);
  std::uint32_t value = _value;
  for (; count >= Slices; count -= Slices, p += Slices)
  {
    // Two loads for sixteen bytes, in the order the checksum takes them
    // (first byte on top) whatever the machine's byte order.
    std::uint64_t first, second;
    std::memcpy(&first, p, sizeof first);
    std::memcpy(&second, p + 8, sizeof second);
    if constexpr (std::endian::native == std::endian::little)
    {
      first = ByteSwap(first);
      second = ByteSwap(second);
    }
    std::uint32_t a = value ^ static_cast<std::uint32_t>(first >> 32);
    std::uint32_t b = static_cast<std::uint32_t>(first);
    std::uint32_t c = static_cast<std::uint32_t>(second >> 32);
    std::uint32_t d = static_cast<std::uint32_t>(second);
    value = Tables[15][a >> 24] ^ Tables[14][(a >> 16) & 0xFF] ^ Tables[13][(a >> 8) & 0xFF] ^ Tables[12][a & 0xFF] ^
            Tables[11][b >> 24] ^ Tables[10][(b >> 16) & 0xFF] ^ Tables[9][(b >> 8) & 0xFF] ^ Tables[8][b & 0xFF] ^
            Tables[7][c >> 24] ^ Tables[6][(c >> 16) & 0xFF] ^ Tables[5][(c >> 8) & 0xFF] ^ Tables[4][c & 0xFF] ^
            Tables[3][d >> 24] ^ Tables[2][(d >> 16) & 0xFF] ^ Tables[1][(d >> 8) & 0xFF] ^ Tables[0][d & 0xFF];
  }
  for (; count > 0; --count, ++p)
    value = (value << 8) ^ Tables[0][(value >> 24) ^ *p];
  _value = value;
}

std::uint32_t Crc32Of(const void *bytes, std::size_t count)
{
  Crc32Table crc;
  crc.Crc32Update(bytes, count);
  return crc.Crc32Value();
}
