#include "Setup/Data/scriptLines.hpp"

#include "El/Stringtable/textLookup.hpp"
#include "Es/Strings/wideText.hpp"

#include <cstring>

std::span<const char> SkipTextStartMark(std::span<const char> text)
{
  if (text.size() <= 2)
    return text;
  auto startsWith = [&text](const char *mark, std::size_t length)
  { return text.size() >= length && std::memcmp(text.data(), mark, length) == 0; };
  if (startsWith("\xEF\xBB\xBF", 3))
    return text.subspan(3);
  if (startsWith("\xFF\xFE", 2) || startsWith("\xFE\xFF", 2))
    return text.subspan(2);
  return text;
}

bool SplitScriptLines(std::span<const char> text, std::vector<std::string_view> &lines)
{
  std::string_view rest(text.data(), text.size());
  while (!rest.empty())
  {
    std::size_t end = rest.find("\r\n");
    std::string_view line = rest.substr(0, end);
    if (line.size() > MaxScriptLineBytes)
      return false;
    if (!line.empty())
      lines.push_back(line);
    if (end == std::string_view::npos)
      break;
    rest.remove_prefix(end + 2);
  }
  return true;
}

std::vector<std::wstring> SplitScriptFields(const std::wstring &line)
{
  std::vector<std::wstring> fields;
  std::wstring::size_type start = 0;
  for (;;)
  {
    std::wstring::size_type colon = line.find(L':', start);
    fields.emplace_back(line, start, colon == std::wstring::npos ? std::wstring::npos : colon - start);
    if (colon == std::wstring::npos)
      return fields;
    start = colon + 1;
  }
}

std::wstring RestFromField(const std::vector<std::wstring> &fields, std::size_t first)
{
  std::wstring rest;
  for (std::size_t i = first; i < fields.size(); ++i)
  {
    if (i > first)
      rest += L':';
    rest += fields[i];
  }
  return rest;
}

void ExpandScriptText(std::wstring &text) { ExpandText(text, false); }

bool ReadScriptText(std::span<const char> bytes, ScriptText &script)
{
  script.lines.clear();
  script.fields.clear();
  std::vector<std::string_view> lines;
  if (!SplitScriptLines(SkipTextStartMark(bytes), lines))
    return false;
  script.lines.reserve(lines.size());
  script.fields.reserve(lines.size());
  for (std::string_view bytesOfLine : lines)
  {
    std::wstring line = WideFromUtf8(bytesOfLine.data(), bytesOfLine.size());
    std::vector<std::wstring> fields = SplitScriptFields(line);
    for (std::wstring &field : fields)
      ExpandScriptText(field);
    ExpandScriptText(line);
    script.lines.push_back(std::move(line));
    script.fields.push_back(std::move(fields));
  }
  return true;
}
