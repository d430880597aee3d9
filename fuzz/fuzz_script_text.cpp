// Reads arbitrary bytes as setup's script text: the start mark, lines cut at
// CR LF, each line converted from UTF-8, cut into fields at its colons and
// expanded against a small stringtable whose texts hold colons and refer to
// each other (in a cycle, and one that doubles itself). Reading must stay
// inside the bytes, refuse long lines, never let a translation's colon make
// a field, and end however the texts refer to each other.
#include "El/Stringtable/stringTable.hpp"
#include "El/Stringtable/textLookup.hpp"
#include "Es/Strings/wideText.hpp"
#include "Setup/Data/scriptLines.hpp"
#include "fuzz/fuzzCheck.hpp"
#include "tests/support/quietFrame.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace
{
// Every field may meet a cycle and make the full number of replacements:
// longer inputs only repeat that work.
constexpr std::size_t MaxInput = 16384;
// More than a replacement ever puts in: a translation below, or a key (at
// most a line with pieces of translations) with the "not localized" suffix.
constexpr std::size_t MaxReplacement = 2 * MaxScriptLineBytes;

void FillTable()
{
  StringTable &table = GStringTables().FindOrInsert("global", 0);
  table.Add("SETUP_PATH", "C:\\Games:$SETUP_NAME");
  table.Add("SETUP_NAME", "Game $SETUP_EDITION");
  table.Add("SETUP_EDITION", "Gold:%0");
  table.Add("SETUP_PING", "ping:$SETUP_PONG");
  table.Add("SETUP_PONG", "$SETUP_PING:pong");
  table.Add("SETUP_TWICE", "$SETUP_TWICE:$SETUP_TWICE");
  table.Add("SETUP_EMPTY", "");
  table.Add("A", "a:$");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  static QuietFrame quiet;
  static const bool filled = (FillTable(), true);
  (void)filled;
  if (size > MaxInput)
    return 0;
  std::span<const char> bytes(reinterpret_cast<const char *>(data), size);

  std::span<const char> text = SkipTextStartMark(bytes);
  Check(text.data() >= bytes.data() && text.data() + text.size() == bytes.data() + bytes.size());
  Check(text.size() == bytes.size() || bytes.size() > 2);

  std::vector<std::string_view> lines;
  bool accepted = SplitScriptLines(text, lines);
  for (std::string_view line : lines)
  {
    Check(!line.empty() && line.size() <= MaxScriptLineBytes);
    Check(line.data() >= text.data() && line.data() + line.size() <= text.data() + text.size());
    Check(line.find("\r\n") == std::string_view::npos);
  }

  ScriptText script;
  Check(ReadScriptText(bytes, script) == accepted);
  Check(script.lines.size() == script.fields.size());
  if (!accepted)
    return 0;
  Check(script.lines.size() == lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i)
  {
    const std::vector<std::wstring> &fields = script.fields[i];
    // One field per colon of the line as written, whatever the texts put in.
    Check(fields.size() == 1 + static_cast<std::size_t>(std::count(lines[i].begin(), lines[i].end(), ':')));
    for (const std::wstring &field : fields)
      Check(field.size() <= MaxScriptLineBytes + static_cast<std::size_t>(MaxTextExpansions) * MaxReplacement);
    // Without references nothing changes: the fields join back into the line.
    if (lines[i].find('$') == std::string_view::npos)
    {
      std::wstring wide = WideFromUtf8(lines[i].data(), lines[i].size());
      Check(script.lines[i] == wide);
      Check(RestFromField(fields, 0) == wide);
    }
  }
  return 0;
}
