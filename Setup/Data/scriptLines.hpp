#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The longest script line, in bytes before its CR LF.
inline constexpr std::size_t MaxScriptLineBytes = 999;

// The text after a leading mark (EF BB BF, FF FE or FE FF), which is only
// looked for in texts longer than 2 bytes. Whatever follows is read as UTF-8.
std::span<const char> SkipTextStartMark(std::span<const char> text);

// The script as the commands see it: every kept line whole, and its fields.
struct ScriptText
{
  std::vector<std::wstring> lines;
  std::vector<std::vector<std::wstring>> fields;
};

// Cuts text into lines at each CR LF (a lone CR or LF stays inside its line;
// the text after the last CR LF is a line too) and drops empty lines. False,
// with lines holding what came before, when a line is longer than
// MaxScriptLineBytes: such a script is refused rather than cut, because a cut
// path or command would install something other than what was written.
bool SplitScriptLines(std::span<const char> text, std::vector<std::string_view> &lines);

// The fields of a line: cut at every colon, nothing trimmed.
std::vector<std::wstring> SplitScriptFields(const std::wstring &line);

// Fields first, first + 1, ... joined again with ":"; empty when the line has
// fewer fields.
std::wstring RestFromField(const std::vector<std::wstring> &fields, std::size_t first);

// Replaces "$KEY" references by their stringtable texts ("%0" is left alone in
// the script); bounded, so translations that refer to each other end.
void ExpandScriptText(std::wstring &text);

// The whole reading after the bytes are had: the start mark, the lines, each
// line converted from UTF-8 and cut into fields, each field expanded, then the
// stored line expanded (after the cut, so a translation with a colon never
// makes a field). False when a line is too long.
bool ReadScriptText(std::span<const char> bytes, ScriptText &script);
