// Loading a generated setup.csv of about 2 MB (8 language columns, 5,000
// keys, some quoted cells) through the text preprocessor and the row parser,
// against reading the same file with fread; and localizing keys of the
// loaded table in a shuffled order, against a std::unordered_map keyed by the
// case-folded key. All in the same run, with a warm page cache.
#include "El/PreprocC/preprocessorFunctions.hpp"
#include "El/QStream/qOStream.hpp"
#include "El/Stringtable/stringTable.hpp"
#include "El/Stringtable/stringtableLoader.hpp"
#include "El/Stringtable/textLookup.hpp"
#include "Es/Strings/wideText.hpp"
#include "tests/support/quietFrame.hpp"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

namespace
{
constexpr int KeyCount = 5000;
constexpr int LanguageCount = 8;
const char *const Languages[LanguageCount] = {"English", "Russian", "Czech",   "Polish",
                                              "German",  "Italian", "Spanish", "French"};
// The column kept: German, the fifth.
const char *const Language = "German";
constexpr int LanguageColumn = 4;

std::string Key(int index)
{
  char key[32];
  std::snprintf(key, sizeof key, "SETUP_STR_KEY_%05d", index);
  return key;
}

// The table file, made once and removed at exit, with the texts of the kept
// column for the reference map.
class TableFile
{
public:
  TableFile()
  {
    _path =
        (std::filesystem::temp_directory_path() / ("stringtable-bench-" + std::to_string(getpid()) + ".csv")).string();
    // Words of the texts, German and Russian ones among them (UTF-8).
    std::vector<std::string> words;
    std::istringstream list("install folder the game please wait copying files disk space choose where to put "
                            "setup will now finish press next cancel licence agree DirectX update "
                            "Gr\303\266\303\237e \320\237\321\203\321\202\321\214");
    for (std::string word; list >> word;)
      words.push_back(word);
    std::mt19937 random(2024);
    std::string text = "// Generated stringtable for the benchmark\n"
                       "LANGUAGE";
    for (const char *language : Languages)
      text += std::string(",") + language;
    text += "\n";
    for (int i = 0; i < KeyCount; ++i)
    {
      if (i % 500 == 0)
        text += "COMMENT,section " + std::to_string(i / 500) + "\n";
      std::string key = Key(i);
      text += key;
      for (int column = 0; column < LanguageCount; ++column)
      {
        std::string cell;
        int count = 6 + static_cast<int>(random() % 6);
        for (int w = 0; w < count; ++w)
        {
          if (w)
            cell += ' ';
          cell += words[random() % words.size()];
        }
        bool quoted = random() % 5 == 0;
        std::string value = cell;
        if (quoted)
        {
          // A comma and a quoted word inside: the cell must be quoted.
          value = cell + ", \"" + words[random() % 5] + "\"";
          std::string escaped;
          for (char c : value)
          {
            escaped += c;
            if (c == '"')
              escaped += '"';
          }
          text += ",\"" + escaped + "\"";
        }
        else
          text += "," + cell;
        if (column == LanguageColumn)
          _texts.emplace(Folded(key), value);
      }
      text += "\n";
    }
    _bytes = text.size();
    std::ofstream out(_path, std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  ~TableFile() { std::remove(_path.c_str()); }

  const std::string &Path() const { return _path; }
  std::size_t Bytes() const { return _bytes; }
  const std::unordered_map<std::string, std::string> &Texts() const { return _texts; }

  static std::string Folded(const std::string &key)
  {
    std::string folded = key;
    for (char &c : folded)
      if (c >= 'A' && c <= 'Z')
        c = static_cast<char>(c - 'A' + 'a');
    return folded;
  }

private:
  std::string _path;
  std::size_t _bytes = 0;
  std::unordered_map<std::string, std::string> _texts;
};

const TableFile &Table()
{
  static TableFile table;
  return table;
}

// Installs the real preprocessor and the language for one benchmark; leaves
// no tables behind.
class LoadScope
{
public:
  explicit LoadScope(PreprocessorFunctions *hook)
  {
    _previous = SetPreprocessorFunctions(hook);
    SetStringtableLanguage(Language);
  }
  ~LoadScope()
  {
    SetPreprocessorFunctions(_previous);
    GStringTables().Clear();
  }

private:
  QuietFrame _quiet;
  PreprocessorFunctions *_previous;
};

std::size_t ReadWithFread(const std::string &path, std::vector<char> &buffer)
{
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (!file)
    return 0;
  std::size_t total = 0;
  for (std::size_t got; (got = std::fread(buffer.data() + total, 1, buffer.size() - total, file)) > 0;)
    total += got;
  std::fclose(file);
  return total;
}

// Keys in a fixed shuffled order.
std::vector<std::string> ShuffledKeys()
{
  std::vector<std::string> keys;
  for (int i = 0; i < KeyCount; ++i)
    keys.push_back(Key(i));
  std::shuffle(keys.begin(), keys.end(), std::mt19937(7));
  return keys;
}

bool LoadTable()
{
  CPreprocessorFunctions real;
  PreprocessorFunctions *previous = SetPreprocessorFunctions(&real);
  SetStringtableLanguage(Language);
  GStringTables().Clear();
  bool loaded = LoadStringtable("global", Table().Path().c_str(), 0, true);
  SetPreprocessorFunctions(previous);
  if (!loaded || GStringTables().Count() != 1 || GStringTables()[0].Size() != KeyCount)
    return false;
  // The loaded texts are the generated ones.
  for (int i = 0; i < KeyCount; i += 97)
    if (Table().Texts().at(TableFile::Folded(Key(i))) != GStringTables().Lookup(Key(i).c_str()).Data())
      return false;
  return true;
}

// --- Loading --------------------------------------------------------------

void BM_LoadThroughPreprocessor(benchmark::State &state)
{
  CPreprocessorFunctions real;
  LoadScope scope(&real);
  for (auto _ : state)
  {
    LoadStringtable("global", Table().Path().c_str(), 0, true);
    benchmark::ClobberMemory();
  }
  if (GStringTables().Count() != 1 || GStringTables()[0].Size() != KeyCount)
    state.SkipWithError("the table did not load whole");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Table().Bytes()));
}

// The same load with the hook's copying base: the row parser's share.
void BM_LoadWithCopyingHook(benchmark::State &state)
{
  PreprocessorFunctions copying;
  LoadScope scope(&copying);
  for (auto _ : state)
  {
    LoadStringtable("global", Table().Path().c_str(), 0, true);
    benchmark::ClobberMemory();
  }
  if (GStringTables().Count() != 1 || GStringTables()[0].Size() != KeyCount)
    state.SkipWithError("the table did not load whole");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Table().Bytes()));
}

// The preprocessor pass alone, into memory.
void BM_PreprocessOnly(benchmark::State &state)
{
  CPreprocessorFunctions real;
  LoadScope scope(&real);
  for (auto _ : state)
  {
    QOStrStream out;
    if (!real.Preprocess(out, Table().Path().c_str(), false))
      state.SkipWithError("preprocessing failed");
    benchmark::DoNotOptimize(out.pcount());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Table().Bytes()));
}

// The row parser alone, over text already in memory.
void BM_ParseRowsOnly(benchmark::State &state)
{
  QuietFrame quiet;
  std::vector<char> bytes(Table().Bytes());
  bytes.resize(ReadWithFread(Table().Path(), bytes));
  for (auto _ : state)
  {
    StringTable table("global", 0);
    ParseStringtableRows(table, bytes.data(), static_cast<int>(bytes.size()), Language);
    benchmark::DoNotOptimize(table.Size());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void BM_FreadFile(benchmark::State &state)
{
  std::vector<char> buffer(Table().Bytes() + 1);
  for (auto _ : state)
  {
    std::size_t got = ReadWithFread(Table().Path(), buffer);
    if (got != Table().Bytes())
      state.SkipWithError("short read");
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Table().Bytes()));
}

// --- Lookups --------------------------------------------------------------

void BM_LocalizeKey(benchmark::State &state)
{
  QuietFrame quiet;
  if (!LoadTable())
  {
    state.SkipWithError("the table did not load");
    return;
  }
  std::vector<std::wstring> keys;
  for (const std::string &key : ShuffledKeys())
    keys.push_back(WideFromUtf8(key));
  std::size_t next = 0;
  for (auto _ : state)
  {
    std::wstring text = LocalizeKey(keys[next]);
    benchmark::DoNotOptimize(text.data());
    if (++next == keys.size())
      next = 0;
  }
  GStringTables().Clear();
  SetStringtableLanguage("English");
}

void BM_StringTableSetLookup(benchmark::State &state)
{
  QuietFrame quiet;
  if (!LoadTable())
  {
    state.SkipWithError("the table did not load");
    return;
  }
  std::vector<std::string> keys = ShuffledKeys();
  std::size_t next = 0;
  for (auto _ : state)
  {
    RString text = GStringTables().Lookup(keys[next].c_str());
    benchmark::DoNotOptimize(text.Data());
    if (++next == keys.size())
      next = 0;
  }
  GStringTables().Clear();
  SetStringtableLanguage("English");
}

// The reference: a standard hash map over case-folded keys, folding the
// looked-up key each time as a case-blind lookup must.
void BM_UnorderedMapFoldedKey(benchmark::State &state)
{
  const std::unordered_map<std::string, std::string> &texts = Table().Texts();
  std::vector<std::string> keys = ShuffledKeys();
  std::size_t next = 0;
  for (auto _ : state)
  {
    auto found = texts.find(TableFile::Folded(keys[next]));
    benchmark::DoNotOptimize(found->second.data());
    if (++next == keys.size())
      next = 0;
  }
}
} // namespace

BENCHMARK(BM_LoadThroughPreprocessor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadWithCopyingHook)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreprocessOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseRowsOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FreadFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LocalizeKey);
BENCHMARK(BM_StringTableSetLookup);
BENCHMARK(BM_UnorderedMapFoldedKey);
