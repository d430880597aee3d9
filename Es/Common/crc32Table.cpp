#include "Es/Common/crc32Table.hpp"

#include <array>
#include <bit>
#include <cstring>

// Carry-less multiply folding on x86-64, chosen at run time; the functions
// that use it carry their own target attribute so the rest of the build keeps
// the baseline instruction set.
#if defined(__x86_64__) && defined(__GNUC__)
#define ES_CRC32_FOLD 1
#include <smmintrin.h>
#include <wmmintrin.h>
#endif

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

std::uint32_t SlicedUpdate(std::uint32_t value, const unsigned char *p, std::size_t count)
{
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
  return value;
}

#ifdef ES_CRC32_FOLD
// The folding works on the message as a polynomial over GF(2), first bit
// highest. The register after n bytes from register v is
//   (v * x^(8n) + D * x^32) mod P  =  (V + D) * x^32 mod P,
// D the bytes as a polynomial and V = v * x^(8n-32), i.e. v laid over the
// first four bytes. Only the remainder of V + D modulo P matters, so the bytes
// are gathered in 128-bit accumulators A = H * x^64 + L (H, L 64 bits each),
// and an accumulator moves d bits further down the message as
//   A * x^d  =  H * (x^(d+64) mod P)  +  L * (x^d mod P)   (mod P),
// two 64-by-32-bit carry-less products of at most 95 bits, added to the data
// found d bits on. What is left at the end is a 128-bit polynomial R congruent
// to V + D, and R * x^32 mod P is the table path run over R's sixteen bytes
// from a zero register.

// x^k mod P.
constexpr std::uint32_t XPowerModP(int k)
{
  std::uint32_t remainder = 1;
  for (; k > 0; --k)
    remainder = (remainder & 0x80000000u) ? (remainder << 1) ^ Polynomial : remainder << 1;
  return remainder;
}
static_assert(XPowerModP(31) == 0x80000000u && XPowerModP(32) == Polynomial);

// Four accumulators 128 bits apart take 64 bytes a step: each jumps 512 bits.
constexpr std::size_t Step = 64;
constexpr std::uint32_t JumpStepHigh = XPowerModP(8 * Step + 64);
constexpr std::uint32_t JumpStepLow = XPowerModP(8 * Step);
constexpr std::uint32_t JumpBlockHigh = XPowerModP(128 + 64);
constexpr std::uint32_t JumpBlockLow = XPowerModP(128);
// The same remainders by long division of x^k by x^32 + 0x04C11DB7.
static_assert(JumpStepHigh == 0x8833794Cu && JumpStepLow == 0xE6228B11u);
static_assert(JumpBlockHigh == 0xC5B9CD4Cu && JumpBlockLow == 0xE8A45605u);

#define ES_CRC32_FOLD_TARGET __attribute__((target("pclmul,sse4.1")))

// Sixteen bytes with the first one in the top byte, so that bit i of the
// register is the coefficient of x^i.
ES_CRC32_FOLD_TARGET inline __m128i LoadBlock(const unsigned char *p)
{
  const __m128i reverse = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)), reverse);
}

// accumulator * x^d + next, with jump = {x^(d+64) mod P, x^d mod P} in the
// low and high halves.
ES_CRC32_FOLD_TARGET inline __m128i Jump(__m128i accumulator, __m128i jump, __m128i next)
{
  __m128i high = _mm_clmulepi64_si128(accumulator, jump, 0x01);
  __m128i low = _mm_clmulepi64_si128(accumulator, jump, 0x10);
  return _mm_xor_si128(_mm_xor_si128(high, low), next);
}

ES_CRC32_FOLD_TARGET inline __m128i JumpConstants(std::uint32_t high, std::uint32_t low)
{
  return _mm_set_epi64x(static_cast<long long>(low), static_cast<long long>(high));
}

// Needs count >= Step. The four accumulators are named rather than kept in an
// array: an array that is not unrolled lives in memory, and every step then
// waits for its stores to come back.
ES_CRC32_FOLD_TARGET std::uint32_t FoldUpdate(std::uint32_t value, const unsigned char *p, std::size_t count)
{
  __m128i a0 = _mm_xor_si128(LoadBlock(p), _mm_set_epi32(static_cast<int>(value), 0, 0, 0));
  __m128i a1 = LoadBlock(p + 16);
  __m128i a2 = LoadBlock(p + 32);
  __m128i a3 = LoadBlock(p + 48);
  p += Step;
  count -= Step;

  const __m128i jumpStep = JumpConstants(JumpStepHigh, JumpStepLow);
  for (; count >= Step; count -= Step, p += Step)
  {
    a0 = Jump(a0, jumpStep, LoadBlock(p));
    a1 = Jump(a1, jumpStep, LoadBlock(p + 16));
    a2 = Jump(a2, jumpStep, LoadBlock(p + 32));
    a3 = Jump(a3, jumpStep, LoadBlock(p + 48));
  }

  const __m128i jumpBlock = JumpConstants(JumpBlockHigh, JumpBlockLow);
  __m128i folded = Jump(Jump(Jump(a0, jumpBlock, a1), jumpBlock, a2), jumpBlock, a3);
  for (; count >= 16; count -= 16, p += 16)
    folded = Jump(folded, jumpBlock, LoadBlock(p));

  const __m128i reverse = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  unsigned char remainder[16];
  _mm_storeu_si128(reinterpret_cast<__m128i *>(remainder), _mm_shuffle_epi8(folded, reverse));
  value = SlicedUpdate(0, remainder, sizeof remainder);
  return SlicedUpdate(value, p, count);
}

bool CanFold()
{
  __builtin_cpu_init();
  return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
}
#endif
} // namespace

const std::uint32_t *Crc32Table::Table() { return Tables[0].data(); }

void Crc32Table::Crc32Update(const void *bytes, std::size_t count)
{
  const unsigned char *p = static_cast<const unsigned char *>(bytes);
#ifdef ES_CRC32_FOLD
  // Folding needs one whole step; at 64 bytes both paths take about as long,
  // from 80 on folding is ahead.
  if (count >= Step)
  {
    static const bool canFold = CanFold();
    if (canFold)
    {
      _value = FoldUpdate(_value, p, count);
      return;
    }
  }
#endif
  _value = SlicedUpdate(_value, p, count);
}

std::uint32_t Crc32Of(const void *bytes, std::size_t count)
{
  Crc32Table crc;
  crc.Crc32Update(bytes, count);
  return crc.Crc32Value();
}

std::uint32_t Crc32SlicedUpdate(std::uint32_t running, const void *bytes, std::size_t count)
{
  return SlicedUpdate(running, static_cast<const unsigned char *>(bytes), count);
}
