// Parses arbitrary bytes as preprocessed setup.csv text, the way the loader
// hands a file to the row parser, then puts the table into the process-wide
// set and localizes and expands what it holds. The bytes are not terminated
// and may hold anything: parsing must stay inside them, keep cells within
// their limit and allocate nothing in proportion to what the rows claim, and
// expansion must end however the texts refer to each other.
#include "El/Stringtable/stringTable.hpp"
#include "El/Stringtable/stringtableLoader.hpp"
#include "El/Stringtable/textLookup.hpp"
#include "Es/Strings/wideText.hpp"
#include "fuzz/fuzzCheck.hpp"
#include "tests/support/quietFrame.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace
{
constexpr int MaxCell = 4095;
// Texts expanded per input: enough to meet cycles, few enough to stay fast.
constexpr int ExpandedTexts = 4;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  static QuietFrame quiet;
  if (size > (1u << 24))
    return 0;
  // An exact copy: a read past the end is a heap overflow the sanitizer sees.
  std::vector<char> bytes(reinterpret_cast<const char *>(data), reinterpret_cast<const char *>(data) + size);

  StringTable &table = GStringTables().FindOrInsert("global", 0);
  ParseStringtableRows(table, bytes.data(), static_cast<int>(bytes.size()), "German");

  std::vector<std::string> keys;
  table.ForEach(
      [&keys](const StringTableEntry &entry)
      {
        std::size_t keyLength = std::strlen(entry.key);
        Check(keyLength > 0 && keyLength <= MaxCell);
        Check(CompareNoCase(entry.key, "COMMENT") != 0);
        Check(entry.text.GetLength() <= MaxCell);
        // Decoding any bytes gives wide text that encodes and decodes again
        // unchanged.
        std::wstring wide = WideFromUtf8(entry.text.Data(), static_cast<std::size_t>(entry.text.GetLength()));
        Check(WideFromUtf8(Utf8FromWide(wide)) == wide);
        if (keys.size() < ExpandedTexts)
          keys.emplace_back(entry.key.Data());
      });

  for (const std::string &key : keys)
  {
    std::wstring text = L"$" + WideFromUtf8(key) + L" %0";
    std::size_t before = text.size();
    ExpandText(text, true, L"Game");
    // Each replacement puts in at most one cell's text or a key with the
    // suffix: the growth is bounded by the replacement limit.
    Check(text.size() <= before + static_cast<std::size_t>(MaxTextExpansions) * (MaxCell + 32));
    std::wstring localized = LocalizeKey(WideFromUtf8(key));
    Check(!localized.empty());
  }

  GStringTables().Clear();
  return 0;
}
