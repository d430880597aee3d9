// Makes the payloads of the install benchmark (bench/install/run).
//
//   install_payload tree mixed|small <dir>
//       writes the product's files below <dir>/data:
//         mixed  40 text files of 4 MiB in 5 folders, 20 random files of
//                4 MiB, 200 files of 64 KiB (half text, half random) in 10
//                folders and one patterned file of 64 MiB (317 MiB in all)
//         small  10,000 files of 4 KiB, text and random in turn, in 20 folders
//   install_payload file pattern|text|random <bytes> <path>
//       one file of that kind
//
// Every byte follows from the file's place in the payload, so two runs write
// the same files. Text is words of a fixed made-up vocabulary, chosen with a
// skew towards the common ones and broken into CR LF lines, so it packs about
// as well as real prose does; random data does not pack at all; patterned
// data (short runs repeated inside each 4 KiB block) packs very well.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
constexpr std::size_t MiB = 1 << 20;
constexpr std::size_t KiB = 1 << 10;

std::uint64_t Mix(std::uint64_t z)
{
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// splitmix64: fast, and its output is as incompressible as we need. The seed
// is mixed first: seeds that differ by one would otherwise give the same
// sequence one step apart, which a compressor finds in the next file.
class Random
{
public:
  explicit Random(std::uint64_t seed) : _state(Mix(seed ^ 0x632BE59BD9B4E019ull)) {}
  std::uint64_t Next() { return Mix(_state += 0x9E3779B97F4A7C15ull); }
  // 0 .. bound - 1.
  std::uint32_t Below(std::uint32_t bound) { return static_cast<std::uint32_t>((Next() >> 32) * bound >> 32); }

private:
  std::uint64_t _state;
};

enum class Kind
{
  Text,
  Random,
  Pattern
};

// The vocabulary every text file draws from: 4096 words of 1 to 10 letters.
const std::vector<std::string> &Vocabulary()
{
  static const std::vector<std::string> words = []
  {
    std::vector<std::string> list;
    Random random(7);
    const char *letters = "etaoinshrdlcumwfgypbvkjxqz";
    for (int i = 0; i < 4096; ++i)
    {
      std::string word;
      std::uint32_t length = 1 + random.Below(4) + random.Below(4) + random.Below(3);
      for (std::uint32_t k = 0; k < length; ++k)
        // The product of two draws favours the common letters.
        word.push_back(letters[random.Below(26) * (random.Below(26) + 1) / 26]);
      list.push_back(word);
    }
    return list;
  }();
  return words;
}

void FillText(std::string &bytes, std::size_t size, Random &random)
{
  const std::vector<std::string> &words = Vocabulary();
  std::size_t lineStart = bytes.size();
  bool sentenceStart = true;
  while (bytes.size() < size)
  {
    // Skewed towards the first words, as real word frequencies are.
    std::uint32_t index = random.Below(4096) * (random.Below(4096) + 1) / 4096;
    index = index * (random.Below(64) + 1) / 64;
    const std::string &word = words[index];
    bytes += word;
    if (sentenceStart)
    {
      bytes[bytes.size() - word.size()] = static_cast<char>(bytes[bytes.size() - word.size()] - 'a' + 'A');
      sentenceStart = false;
    }
    std::uint32_t mark = random.Below(16);
    if (mark == 0)
    {
      bytes += '.';
      sentenceStart = true;
    }
    else if (mark == 1)
      bytes += ',';
    if (bytes.size() - lineStart > 60 + random.Below(20))
    {
      bytes += "\r\n";
      lineStart = bytes.size();
    }
    else
      bytes += ' ';
  }
  bytes.resize(size);
}

void FillRandom(std::string &bytes, std::size_t size, Random &random)
{
  std::size_t start = bytes.size();
  bytes.resize(size);
  for (std::size_t i = start; i < size; i += 8)
  {
    std::uint64_t value = random.Next();
    std::memcpy(&bytes[i], &value, std::min<std::size_t>(8, size - i));
  }
}

// Each 4 KiB block repeats a short random run, with a running block number
// every 256 bytes so that no two blocks are alike.
void FillPattern(std::string &bytes, std::size_t size, Random &random, std::uint64_t &block)
{
  while (bytes.size() < size)
  {
    std::string run;
    FillRandom(run, 8 + random.Below(57), random);
    std::size_t end = std::min(size, bytes.size() + 4 * KiB);
    for (std::size_t i = 0; bytes.size() < end; ++i)
    {
      if (i % 256 == 0)
        bytes.append(reinterpret_cast<const char *>(&block), std::min<std::size_t>(8, end - bytes.size()));
      else
        bytes.push_back(run[i % run.size()]);
    }
    ++block;
  }
}

// Writes size bytes of one kind, a few MiB at a time.
bool WriteFile(const fs::path &path, Kind kind, std::uint64_t size, std::uint64_t seed)
{
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  Random random(seed);
  std::uint64_t block = seed << 32;
  std::string chunk;
  for (std::uint64_t written = 0; written < size && out;)
  {
    std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(4 * MiB, size - written));
    chunk.clear();
    switch (kind)
    {
    case Kind::Text:
      FillText(chunk, length, random);
      break;
    case Kind::Random:
      FillRandom(chunk, length, random);
      break;
    case Kind::Pattern:
      FillPattern(chunk, length, random, block);
      break;
    }
    out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    written += length;
  }
  out.close();
  if (!out)
  {
    std::fprintf(stderr, "install_payload: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

std::string Numbered(const char *prefix, int n)
{
  char name[64];
  std::snprintf(name, sizeof name, "%s%02d", prefix, n);
  return name;
}

std::string NumberedFile(const char *prefix, int n, const char *extension)
{
  char name[64];
  std::snprintf(name, sizeof name, "%s%04d.%s", prefix, n, extension);
  return name;
}

bool WriteMixedTree(const fs::path &data)
{
  std::uint64_t seed = 1000;
  for (int i = 0; i < 40; ++i)
    if (!WriteFile(data / Numbered("text", i % 5) / NumberedFile("chapter", i, "txt"), Kind::Text, 4 * MiB, ++seed))
      return false;
  for (int i = 0; i < 20; ++i)
    if (!WriteFile(data / "sound" / NumberedFile("track", i, "ogg"), Kind::Random, 4 * MiB, ++seed))
      return false;
  for (int i = 0; i < 200; ++i)
  {
    bool text = i % 2 == 0;
    if (!WriteFile(data / Numbered("small", i % 10) / NumberedFile("item", i, text ? "cfg" : "bin"),
                   text ? Kind::Text : Kind::Random, 64 * KiB, ++seed))
      return false;
  }
  return WriteFile(data / "world.map", Kind::Pattern, 64 * MiB, ++seed);
}

bool WriteSmallTree(const fs::path &data)
{
  for (int i = 0; i < 10000; ++i)
  {
    bool text = i % 2 == 0;
    if (!WriteFile(data / Numbered("part", i % 20) / NumberedFile("piece", i, text ? "txt" : "bin"),
                   text ? Kind::Text : Kind::Random, 4 * KiB, 50000 + static_cast<std::uint64_t>(i)))
      return false;
  }
  return true;
}

int Usage()
{
  std::fprintf(stderr, "usage: install_payload tree mixed|small <dir>\n"
                       "       install_payload file pattern|text|random <bytes> <path>\n");
  return 2;
}
} // namespace

int main(int argc, char **argv)
{
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 3 && args[0] == "tree")
  {
    fs::path data = fs::path(args[2]) / "data";
    if (args[1] == "mixed")
      return WriteMixedTree(data) ? 0 : 1;
    if (args[1] == "small")
      return WriteSmallTree(data) ? 0 : 1;
    return Usage();
  }
  if (args.size() == 4 && args[0] == "file")
  {
    Kind kind = Kind::Pattern;
    if (args[1] == "text")
      kind = Kind::Text;
    else if (args[1] == "random")
      kind = Kind::Random;
    else if (args[1] != "pattern")
      return Usage();
    return WriteFile(args[3], kind, std::stoull(args[2]), 99) ? 0 : 1;
  }
  return Usage();
}
