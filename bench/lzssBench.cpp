// LZSS packing and unpacking against zlib's deflate (level 6) and inflate on
// the same data in the same run: text, an executable-like block, noise and a
// bitmap-like block of 1 MiB each, and all four together. Speeds are in bytes
// of unpacked data per second; "ratio" is packed size / unpacked size.
// LzssDecodeUnpacking reads the unpacking stream as the installer's copy
// worker reads a member (262144 bytes at a time into one buffer), beside the
// whole-buffer decoders.
#include "El/QStream/qOStream.hpp"
#include "El/QStream/qStream.hpp"
#include "El/QStream/ssCompress.hpp"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace
{
constexpr std::size_t PartSize = 1u << 20;

class Lcg
{
public:
  explicit Lcg(std::uint32_t seed) : _state(seed) {}
  std::uint32_t Next() { return _state = _state * 1664525u + 1013904223u; }
  std::uint32_t Below(std::uint32_t bound) { return static_cast<std::uint32_t>((std::uint64_t(Next()) * bound) >> 32); }

private:
  std::uint32_t _state;
};

// Configuration-like text: a small vocabulary, indentation, numbers.
std::string MakeText()
{
  static const char *const words[] = {"class",  "CfgVehicles", "model",    "texture",   "armor",   "speed", "scope",
                                      "public", "weapon",      "magazine", "sound",     "display", "Name",  "cost",
                                      "turret", "optics",      "hidden",   "selection", "camo",    "wheel", "engine"};
  Lcg random(1);
  std::string text;
  while (text.size() < PartSize)
  {
    text.append(2 * random.Below(4), ' ');
    text += words[random.Below(sizeof words / sizeof words[0])];
    text += random.Below(3) == 0 ? "[] = {" : " = ";
    if (random.Below(2))
      text += std::to_string(random.Below(5000));
    else
      text += std::string("\"") + words[random.Below(sizeof words / sizeof words[0])] + "\"";
    text += ";\n";
  }
  text.resize(PartSize);
  return text;
}

// Machine-code-like: instructions from a small set of opcodes with register
// bytes, 32-bit displacements into a few regions, call targets, padding and a
// string table.
std::string MakeExecutable()
{
  static const unsigned char opcodes[] = {0x8B, 0x89, 0x48, 0xE8, 0xFF, 0x83, 0x85, 0x74, 0x75, 0xC3, 0x55, 0x5D};
  Lcg random(2);
  std::string code;
  while (code.size() < PartSize * 7 / 8)
  {
    unsigned char op = opcodes[random.Below(sizeof opcodes)];
    code += static_cast<char>(op);
    switch (op)
    {
    case 0xE8:
    {
      std::uint32_t target = 0x401000 + random.Below(64) * 0x40;
      for (int k = 0; k < 4; ++k)
        code += static_cast<char>(target >> (8 * k));
      break;
    }
    case 0x8B:
    case 0x89:
    {
      code += static_cast<char>(0x45 + random.Below(4) * 8);
      code += static_cast<char>(0xF8 - 4 * random.Below(8));
      break;
    }
    case 0xC3:
      code.append(random.Below(12), static_cast<char>(0xCC));
      break;
    default:
      code += static_cast<char>(random.Below(256));
    }
  }
  while (code.size() < PartSize)
    code += "KERNEL32.dll\0GetProcAddress\0LoadLibraryA\0";
  code.resize(PartSize);
  return code;
}

std::string MakeNoise()
{
  Lcg random(3);
  std::string noise(PartSize, '\0');
  for (char &c : noise)
    c = static_cast<char>(random.Next() >> 24);
  return noise;
}

// 24-bit pixels: flat areas, gradients and slightly noisy texture rows.
std::string MakeBitmap()
{
  Lcg random(4);
  constexpr std::size_t Width = 512;
  std::string pixels;
  pixels.reserve(PartSize);
  for (std::size_t y = 0; pixels.size() < PartSize; ++y)
  {
    for (std::size_t x = 0; x < Width; ++x)
    {
      unsigned r, g, b;
      if (y % 64 < 24)
        r = 40, g = 90, b = 160;
      else if (x < Width / 2)
        r = static_cast<unsigned>(x / 2), g = static_cast<unsigned>(y % 256), b = 128;
      else
      {
        unsigned noise = random.Below(8);
        r = 120 + noise, g = 100 + noise, b = 60 + noise;
      }
      pixels += static_cast<char>(b);
      pixels += static_cast<char>(g);
      pixels += static_cast<char>(r);
    }
  }
  pixels.resize(PartSize);
  return pixels;
}

const std::string &Corpus(int kind)
{
  static const std::vector<std::string> corpora = []
  {
    std::vector<std::string> parts = {MakeText(), MakeExecutable(), MakeNoise(), MakeBitmap()};
    std::string mixed;
    for (const std::string &part : parts)
      mixed += part;
    parts.insert(parts.begin(), mixed);
    return parts;
  }();
  return corpora[static_cast<std::size_t>(kind)];
}

const char *const KindNames[] = {"mixed", "text", "executable", "noise", "bitmap"};

std::string LzssPack(const std::string &data)
{
  QIStrStream in(data.data(), static_cast<int>(data.size()));
  QOStrStream out;
  SSCompress().encode(out, in);
  return std::string(out.str(), out.pcount());
}

std::string ZlibPack(const std::string &data)
{
  std::string packed(compressBound(static_cast<uLong>(data.size())), '\0');
  uLongf size = static_cast<uLongf>(packed.size());
  if (compress2(reinterpret_cast<Bytef *>(packed.data()), &size, reinterpret_cast<const Bytef *>(data.data()),
                static_cast<uLong>(data.size()), 6) != Z_OK)
    return {};
  packed.resize(size);
  return packed;
}

void Finish(benchmark::State &state, const std::string &data, std::size_t packedSize)
{
  state.SetLabel(KindNames[state.range(0)]);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
  state.counters["ratio"] = static_cast<double>(packedSize) / static_cast<double>(data.size());
}

void BM_LzssEncode(benchmark::State &state)
{
  const std::string &data = Corpus(static_cast<int>(state.range(0)));
  std::size_t packedSize = 0;
  QOStrStream out;
  for (auto _ : state)
  {
    QIStrStream in(data.data(), static_cast<int>(data.size()));
    out.rewind();
    SSCompress().encode(out, in);
    packedSize = out.pcount();
    benchmark::DoNotOptimize(out.str());
  }
  Finish(state, data, packedSize);
}

void BM_LzssDecodeMemory(benchmark::State &state)
{
  const std::string &data = Corpus(static_cast<int>(state.range(0)));
  std::string packed = LzssPack(data);
  std::string unpacked(data.size(), '\0');
  long n = static_cast<long>(data.size());
  for (auto _ : state)
  {
    if (!SSCompress().decode(unpacked.data(), n, packed.data(), static_cast<long>(packed.size())))
    {
      state.SkipWithError("decode failed");
      return;
    }
    benchmark::DoNotOptimize(unpacked.data());
  }
  if (unpacked != data)
    state.SkipWithError("decoded data differs");
  Finish(state, data, packed.size());
}

void BM_LzssDecodeStream(benchmark::State &state)
{
  const std::string &data = Corpus(static_cast<int>(state.range(0)));
  std::string packed = LzssPack(data);
  std::string unpacked(data.size(), '\0');
  long n = static_cast<long>(data.size());
  for (auto _ : state)
  {
    QIStrStream in(packed.data(), static_cast<int>(packed.size()));
    if (!SSCompress().decode(unpacked.data(), n, in))
    {
      state.SkipWithError("decode failed");
      return;
    }
    benchmark::DoNotOptimize(unpacked.data());
  }
  if (unpacked != data)
    state.SkipWithError("decoded data differs");
  Finish(state, data, packed.size());
}

// Reads the unpacking stream to its end in blocks; answers the bytes read and
// whether the stream found them sound. check, when given, gets every block.
std::size_t ReadUnpacking(const std::string &packed, std::size_t size, std::vector<char> &block, bool &sound,
                          const std::string *check = nullptr)
{
  QILzssStream in(new QIStrStream(packed.data(), static_cast<int>(packed.size())), size);
  std::size_t total = 0;
  for (int got; (got = in.read(block.data(), static_cast<int>(block.size()))) > 0; total += got)
  {
    if (check && check->compare(total, static_cast<std::size_t>(got), block.data(), got) != 0)
      sound = false;
  }
  sound = !in.DataError() && (!check || sound);
  return total;
}

void BM_LzssDecodeUnpacking(benchmark::State &state)
{
  const std::string &data = Corpus(static_cast<int>(state.range(0)));
  std::string packed = LzssPack(data);
  std::vector<char> block(262144);
  bool sound = true;
  if (ReadUnpacking(packed, data.size(), block, sound, &data) != data.size() || !sound)
  {
    state.SkipWithError("unpacked data differs");
    return;
  }
  for (auto _ : state)
  {
    benchmark::DoNotOptimize(ReadUnpacking(packed, data.size(), block, sound));
    benchmark::DoNotOptimize(block.data());
  }
  Finish(state, data, packed.size());
}

void BM_LzssDecodeDiscard(benchmark::State &state)
{
  const std::string &data = Corpus(static_cast<int>(state.range(0)));
  std::string packed = LzssPack(data);
  long n = static_cast<long>(data.size());
  for (auto _ : state)
  {
    QIStrStream in(packed.data(), static_cast<int>(packed.size()));
    if (!SSCompress().decodeDiscard(n, in))
    {
      state.SkipWithError("decode failed");
      return;
    }
  }
  Finish(state, data, packed.size());
}

void BM_ZlibDeflate6(benchmark::State &state)
{
  const std::string &data = Corpus(static_cast<int>(state.range(0)));
  std::size_t packedSize = 0;
  for (auto _ : state)
  {
    std::string packed = ZlibPack(data);
    if (packed.empty())
    {
      state.SkipWithError("compress2 failed");
      return;
    }
    packedSize = packed.size();
    benchmark::DoNotOptimize(packed.data());
  }
  Finish(state, data, packedSize);
}

void BM_ZlibInflate(benchmark::State &state)
{
  const std::string &data = Corpus(static_cast<int>(state.range(0)));
  std::string packed = ZlibPack(data);
  std::string unpacked(data.size(), '\0');
  for (auto _ : state)
  {
    uLongf size = static_cast<uLongf>(unpacked.size());
    if (uncompress(reinterpret_cast<Bytef *>(unpacked.data()), &size, reinterpret_cast<const Bytef *>(packed.data()),
                   static_cast<uLong>(packed.size())) != Z_OK)
    {
      state.SkipWithError("uncompress failed");
      return;
    }
    benchmark::DoNotOptimize(unpacked.data());
  }
  if (unpacked != data)
    state.SkipWithError("inflated data differs");
  Finish(state, data, packed.size());
}
} // namespace

BENCHMARK(BM_LzssEncode)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibDeflate6)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LzssDecodeMemory)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LzssDecodeStream)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LzssDecodeDiscard)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LzssDecodeUnpacking)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibInflate)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
