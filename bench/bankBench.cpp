// Reading every member of a 512 MiB bank of stored members, as the installer
// copies an archive, against reading the bank file with read(2) in 8 KiB
// pages, in the same run with a warm page cache.
#include "El/QStream/qbStream.hpp"
#include "tests/support/quietFrame.hpp"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace
{
constexpr int MemberCount = 256;
constexpr std::size_t MemberSize = 2 << 20;
constexpr std::size_t ReadBlock = 262144;

void Word(std::string &bytes, std::uint32_t value)
{
  for (int i = 0; i < 4; ++i)
    bytes.push_back(static_cast<char>(value >> (8 * i)));
}

// The bank file, made once and removed at exit.
class BankFile
{
public:
  BankFile()
  {
    _path = (std::filesystem::temp_directory_path() / ("bank-bench-" + std::to_string(getpid()) + ".bin")).string();
    std::string header;
    for (int i = 0; i < MemberCount; ++i)
    {
      header += "data\\member" + std::to_string(i) + ".bin";
      header.push_back('\0');
      for (std::uint32_t value : {0u, std::uint32_t(MemberSize), 0u, 0u, std::uint32_t(MemberSize)})
        Word(header, value);
    }
    header.push_back('\0');
    for (int i = 0; i < 5; ++i)
      Word(header, 0);
    std::ofstream out(_path, std::ios::binary);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    std::vector<char> member(MemberSize);
    std::uint32_t state = 12345;
    for (char &c : member)
      c = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
    for (int i = 0; i < MemberCount; ++i)
      out.write(member.data(), static_cast<std::streamsize>(member.size()));
  }
  ~BankFile() { std::remove(_path.c_str()); }
  const std::string &Path() const { return _path; }

private:
  std::string _path;
};

const BankFile &Bank()
{
  static BankFile bank;
  return bank;
}

std::size_t ReadWithPosix(const std::string &path, std::size_t block)
{
  int fd = open(path.c_str(), O_RDONLY);
  std::vector<char> buffer(block);
  std::size_t total = 0;
  for (ssize_t got; (got = read(fd, buffer.data(), block)) > 0;)
    total += static_cast<std::size_t>(got);
  close(fd);
  return total;
}

struct ReadState
{
  std::vector<char> buffer = std::vector<char>(ReadBlock);
  std::size_t total = 0;
};

void ReadMember(const QFBankEntry &entry, QFBank &bank, void *context)
{
  auto *state = static_cast<ReadState *>(context);
  QIFStreamB stream;
  stream.openInBank(bank, entry.name);
  for (int got; (got = stream.read(state->buffer.data(), static_cast<int>(ReadBlock))) > 0;)
    state->total += static_cast<std::size_t>(got);
}

void BM_BankMembersOpenInBank(benchmark::State &state)
{
  QuietFrame quiet;
  ReadWithPosix(Bank().Path(), ReadBlock);
  std::size_t total = 0;
  for (auto _ : state)
  {
    QFBank bank;
    bank.OpenRegion(Bank().Path().c_str(), nullptr, nullptr, 0, 0);
    ReadState read;
    bank.ForEachEntry(ReadMember, &read);
    bank.Close();
    total = read.total;
  }
  if (total != MemberCount * MemberSize)
    state.SkipWithError("members came back short");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * MemberCount * MemberSize));
}

void BM_BankFilePosixRead8K(benchmark::State &state)
{
  ReadWithPosix(Bank().Path(), ReadBlock);
  for (auto _ : state)
    benchmark::DoNotOptimize(ReadWithPosix(Bank().Path(), 8192));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * MemberCount * MemberSize));
}
} // namespace

BENCHMARK(BM_BankMembersOpenInBank)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BankFilePosixRead8K)->Unit(benchmark::kMillisecond)->UseRealTime();
