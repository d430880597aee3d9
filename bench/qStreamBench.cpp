// Sequential reading: QIFStream against read(2) in 8 KiB pages and in 256 KiB
// blocks over one 256 MiB file, and QIGzStream against zlib's gzread over one
// gzip file of 64 MiB inflated, all in the same run with the page cache warm.
// The files are made in the system's temporary folder on first use and
// removed at exit.
#include "El/QStream/gzStream.hpp"
#include "El/QStream/qStream.hpp"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace
{
constexpr std::size_t PlainSize = 256u << 20;
constexpr std::size_t GzInflatedSize = 64u << 20;
constexpr int BlockSize = 262144;
constexpr int PageSize = 8192;

std::string TempName(const char *suffix)
{
  return (std::filesystem::temp_directory_path() /
          ("qstream-bench-" + std::to_string(static_cast<long>(getpid())) + suffix))
      .string();
}

// Reads the whole file once so that every measured read finds it in the page
// cache; answers the byte count.
std::size_t WarmUp(const std::string &name)
{
  std::size_t total = 0;
  int fd = open(name.c_str(), O_RDONLY);
  if (fd < 0)
    return 0;
  std::vector<char> block(BlockSize);
  for (ssize_t got; (got = read(fd, block.data(), block.size())) > 0;)
    total += static_cast<std::size_t>(got);
  close(fd);
  return total;
}

// A file made on first use and removed when the program ends.
class BenchFile
{
public:
  BenchFile(const BenchFile &) = delete;
  BenchFile &operator=(const BenchFile &) = delete;
  ~BenchFile()
  {
    std::error_code error;
    std::filesystem::remove(_name, error);
  }

  const std::string &Name() const { return _name; }
  bool Ready() const { return _ready; }

  // 256 MiB of noise from a linear congruential generator.
  static const BenchFile &Plain()
  {
    static const BenchFile file(TempName(".bin"), MakePlain);
    return file;
  }

  // 64 MiB of text-like lines written with gzwrite at level 6.
  static const BenchFile &Gz()
  {
    static const BenchFile file(TempName(".gz"), MakeGz);
    return file;
  }

private:
  BenchFile(std::string name, bool (*make)(const std::string &)) : _name(std::move(name))
  {
    _ready = make(_name) && WarmUp(_name) > 0;
  }

  static bool MakePlain(const std::string &name)
  {
    std::FILE *file = std::fopen(name.c_str(), "wb");
    if (!file)
      return false;
    std::vector<std::uint32_t> block(BlockSize / 4);
    std::uint32_t seed = 12345;
    bool ok = true;
    for (std::size_t written = 0; ok && written < PlainSize; written += BlockSize)
    {
      for (std::uint32_t &word : block)
        word = seed = seed * 1664525u + 1013904223u;
      ok = std::fwrite(block.data(), 1, BlockSize, file) == BlockSize;
    }
    return std::fclose(file) == 0 && ok;
  }

  static bool MakeGz(const std::string &name)
  {
    static const char *const words[] = {
        "class", "CfgVehicles", "model",    "texture", "armor",       "speed", "{",   "};",   "scope", "public",
        "=",     "weapon",      "magazine", "sound[]", "displayName", "\"",    "0.5", "1200", "\n"};
    gzFile file = gzopen(name.c_str(), "wb6");
    if (!file)
      return false;
    std::string text;
    std::uint32_t seed = 777;
    bool ok = true;
    for (std::size_t written = 0; ok && written < GzInflatedSize; written += text.size())
    {
      text.clear();
      while (text.size() < BlockSize)
      {
        seed = seed * 1664525u + 1013904223u;
        text += words[(seed >> 16) % (sizeof words / sizeof words[0])];
        text += (seed >> 28) == 0 ? std::to_string(seed & 0xFFFF) : " ";
      }
      text.resize(BlockSize);
      ok = gzwrite(file, text.data(), BlockSize) == BlockSize;
    }
    return gzclose(file) == Z_OK && ok;
  }

  std::string _name;
  bool _ready = false;
};

// Reads a stream to its end in blocks; answers the byte count.
std::size_t Drain(QIStream &in, std::vector<char> &block)
{
  std::size_t total = 0;
  for (int got; (got = in.read(block.data(), BlockSize)) > 0;)
  {
    benchmark::DoNotOptimize(block.data());
    total += static_cast<std::size_t>(got);
  }
  return total;
}

std::size_t PosixDrain(const std::string &name, std::vector<char> &block, std::size_t chunk)
{
  int fd = open(name.c_str(), O_RDONLY);
  if (fd < 0)
    return 0;
  std::size_t total = 0;
  for (ssize_t got; (got = read(fd, block.data(), chunk)) > 0;)
  {
    benchmark::DoNotOptimize(block.data());
    total += static_cast<std::size_t>(got);
  }
  close(fd);
  return total;
}

// Runs body once per iteration and checks it read expected bytes.
template <class Body> void Measure(benchmark::State &state, const BenchFile &file, std::size_t expected, Body body)
{
  if (!file.Ready())
  {
    state.SkipWithError("the benchmark file could not be made");
    return;
  }
  std::vector<char> block(BlockSize);
  for (auto _ : state)
  {
    if (body(file.Name(), block) != expected)
    {
      state.SkipWithError("short read");
      return;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * expected));
}

void BM_QIFStreamRead256K(benchmark::State &state)
{
  Measure(state, BenchFile::Plain(), PlainSize,
          [](const std::string &name, std::vector<char> &block)
          {
            QIFStream in;
            in.open(name.c_str());
            return Drain(in, block);
          });
}

void BM_PosixRead8K(benchmark::State &state)
{
  Measure(state, BenchFile::Plain(), PlainSize,
          [](const std::string &name, std::vector<char> &block) { return PosixDrain(name, block, PageSize); });
}

void BM_PosixRead256K(benchmark::State &state)
{
  Measure(state, BenchFile::Plain(), PlainSize,
          [](const std::string &name, std::vector<char> &block) { return PosixDrain(name, block, BlockSize); });
}

void BM_QIGzStreamRead256K(benchmark::State &state)
{
  Measure(state, BenchFile::Gz(), GzInflatedSize,
          [](const std::string &name, std::vector<char> &block)
          {
            QIFStream *source = new QIFStream;
            source->open(name.c_str());
            QIGzStream in(source);
            std::size_t total = Drain(in, block);
            return in.DataError() ? 0 : total;
          });
}

void BM_GzRead256K(benchmark::State &state)
{
  Measure(state, BenchFile::Gz(), GzInflatedSize,
          [](const std::string &name, std::vector<char> &block)
          {
            gzFile file = gzopen(name.c_str(), "rb");
            if (!file)
              return std::size_t{0};
            std::size_t total = 0;
            for (int got; (got = gzread(file, block.data(), BlockSize)) > 0;)
            {
              benchmark::DoNotOptimize(block.data());
              total += static_cast<std::size_t>(got);
            }
            gzclose(file);
            return total;
          });
}
} // namespace

BENCHMARK(BM_QIFStreamRead256K)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PosixRead8K)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PosixRead256K)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QIGzStreamRead256K)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GzRead256K)->Unit(benchmark::kMillisecond)->UseRealTime();
