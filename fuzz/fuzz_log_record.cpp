// Takes arbitrary bytes (UTF-8) apart as an install-log record, the way a
// failed run undoes it: the letter and text, and for a game-list record the
// identifier and library path. An identifier that reads must print in the
// record's shape and read back to the same bytes.
#include "Es/Strings/wideText.hpp"
#include "Setup/Data/logRecord.hpp"
#include "fuzz/fuzzCheck.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  std::wstring record = WideFromUtf8(reinterpret_cast<const char *>(data), size);
  LogRecordParts parts;
  if (!SplitLogRecord(record, parts))
    return 0;
  Check(!parts.text.empty() && parts.text.size() + 2 == record.size());
  std::wstring identifierText, library;
  if (!SplitGameListRecord(parts.text, identifierText, library))
    return 0;
  GameListIdentifier identifier;
  if (!ParseGameListIdentifier(identifierText, identifier))
    return 0;
  // What was read prints in the record's own shape and reads back the same.
  std::wstring printed = FormatGameListIdentifier(identifier);
  GameListIdentifier again;
  Check(printed.size() == identifierText.size() && ParseGameListIdentifier(printed, again));
  Check(std::memcmp(&again, &identifier, sizeof identifier) == 0);
  return 0;
}
