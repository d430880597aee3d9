// The file checksum against zlib's crc32 over the same 256 MiB in memory.
// The two compute different CRC-32 variants (ours is not bit-reflected); the
// comparison is of speed only.

#include "Es/Common/crc32Table.hpp"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <vector>

namespace
{
constexpr std::size_t Size = std::size_t(256) << 20;

const std::vector<unsigned char> &Data()
{
  static const std::vector<unsigned char> data = []
  {
    std::vector<unsigned char> bytes(Size);
    std::mt19937_64 random(7);
    for (std::size_t i = 0; i < bytes.size(); i += 8)
    {
      std::uint64_t word = random();
      for (int k = 0; k < 8; ++k)
        bytes[i + k] = static_cast<unsigned char>(word >> (8 * k));
    }
    return bytes;
  }();
  return data;
}

void BM_Crc32Table(benchmark::State &state)
{
  const std::vector<unsigned char> &data = Data();
  for (auto _ : state)
  {
    Crc32Table crc;
    // The copy worker feeds 262144-byte chunks.
    for (std::size_t at = 0; at < data.size(); at += 262144)
      crc.Crc32Update(data.data() + at, 262144);
    benchmark::DoNotOptimize(crc.Crc32Value());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(Size));
}
BENCHMARK(BM_Crc32Table)->Unit(benchmark::kMillisecond);

// The table path alone, which Crc32Update falls back to on processors
// without carry-less multiply.
void BM_Crc32Sliced(benchmark::State &state)
{
  const std::vector<unsigned char> &data = Data();
  for (auto _ : state)
  {
    std::uint32_t running = 0xFFFFFFFFu;
    for (std::size_t at = 0; at < data.size(); at += 262144)
      running = Crc32SlicedUpdate(running, data.data() + at, 262144);
    benchmark::DoNotOptimize(~running);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(Size));
}
BENCHMARK(BM_Crc32Sliced)->Unit(benchmark::kMillisecond);

void BM_ZlibCrc32(benchmark::State &state)
{
  const std::vector<unsigned char> &data = Data();
  for (auto _ : state)
  {
    uLong crc = crc32(0L, Z_NULL, 0);
    for (std::size_t at = 0; at < data.size(); at += 262144)
      crc = crc32(crc, data.data() + at, 262144);
    benchmark::DoNotOptimize(crc);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(Size));
}
BENCHMARK(BM_ZlibCrc32)->Unit(benchmark::kMillisecond);
} // namespace
