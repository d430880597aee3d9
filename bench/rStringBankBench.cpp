// Interning 100,000 distinct names and then looking them up, in the string
// bank and in std::unordered_set<std::string> measured in the same run.
#include "Es/Strings/rStringBank.hpp"
#include "tests/support/quietFrame.hpp"

#include <benchmark/benchmark.h>

#include <string>
#include <unordered_set>
#include <vector>

namespace
{
constexpr int NameCount = 100000;

// Names shaped like bank members: folder paths with numbered files.
const std::vector<std::string> &Names()
{
  static const std::vector<std::string> names = []
  {
    std::vector<std::string> list;
    list.reserve(NameCount);
    for (int i = 0; i < NameCount; ++i)
      list.push_back("data\\textures\\level" + std::to_string(i % 97) + "\\object_" + std::to_string(i) + ".paa");
    return list;
  }();
  return names;
}

void BM_RStringBankFindOrAdd(benchmark::State &state)
{
  QuietFrame quiet;
  for (auto _ : state)
  {
    RStringBank bank(RStringBank::Case::Sensitive);
    for (const std::string &name : Names())
      benchmark::DoNotOptimize(&bank.FindOrAdd(name.c_str()));
  }
  state.SetItemsProcessed(state.iterations() * NameCount);
}

void BM_UnorderedSetInsert(benchmark::State &state)
{
  for (auto _ : state)
  {
    std::unordered_set<std::string> set;
    for (const std::string &name : Names())
      benchmark::DoNotOptimize(&*set.insert(name).first);
  }
  state.SetItemsProcessed(state.iterations() * NameCount);
}

void BM_RStringBankFind(benchmark::State &state)
{
  QuietFrame quiet;
  RStringBank bank(RStringBank::Case::Sensitive);
  for (const std::string &name : Names())
    bank.FindOrAdd(name.c_str());
  for (auto _ : state)
    for (const std::string &name : Names())
      benchmark::DoNotOptimize(bank.Find(name.c_str()));
  state.SetItemsProcessed(state.iterations() * NameCount);
}

void BM_UnorderedSetFind(benchmark::State &state)
{
  std::unordered_set<std::string> set(Names().begin(), Names().end());
  for (auto _ : state)
    for (const std::string &name : Names())
      benchmark::DoNotOptimize(set.find(name));
  state.SetItemsProcessed(state.iterations() * NameCount);
}
} // namespace

BENCHMARK(BM_RStringBankFindOrAdd)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnorderedSetInsert)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RStringBankFind)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnorderedSetFind)->Unit(benchmark::kMillisecond);
