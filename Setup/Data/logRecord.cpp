#include "Setup/Data/logRecord.hpp"

#include <cwchar>

namespace
{
int HexDigit(wchar_t c)
{
  if (c >= L'0' && c <= L'9')
    return c - L'0';
  if (c >= L'a' && c <= L'f')
    return c - L'a' + 10;
  if (c >= L'A' && c <= L'F')
    return c - L'A' + 10;
  return -1;
}

// A field of width characters: blanks, then at least one hexadecimal digit
// up to its end.
bool ReadField(const std::wstring &text, std::size_t &at, std::size_t width, std::uint32_t &value)
{
  if (at + width > text.size())
    return false;
  std::size_t end = at + width;
  while (at < end && text[at] == L' ')
    ++at;
  if (at == end)
    return false;
  value = 0;
  for (; at < end; ++at)
  {
    int digit = HexDigit(text[at]);
    if (digit < 0)
      return false;
    value = value << 4 | static_cast<std::uint32_t>(digit);
  }
  return true;
}

bool Expect(const std::wstring &text, std::size_t &at, wchar_t c)
{
  if (at >= text.size() || text[at] != c)
    return false;
  ++at;
  return true;
}

constexpr std::size_t IdentifierLength = 38;
} // namespace

bool SplitLogRecord(const std::wstring &record, LogRecordParts &parts)
{
  if (record.size() <= 2 || record[1] != L':')
    return false;
  wchar_t letter = record[0];
  parts.letter = letter >= L'a' && letter <= L'z' ? static_cast<wchar_t>(letter - L'a' + L'A') : letter;
  parts.text = record.substr(2);
  return true;
}

std::wstring FormatGameListIdentifier(const GameListIdentifier &id)
{
  wchar_t text[64];
  std::swprintf(text, sizeof text / sizeof text[0], L"{%8X-%4X-%4X-%2X%2X-%2X%2X%2X%2X%2X%2X}", unsigned(id.data1),
                unsigned(id.data2), unsigned(id.data3), unsigned(id.data4[0]), unsigned(id.data4[1]),
                unsigned(id.data4[2]), unsigned(id.data4[3]), unsigned(id.data4[4]), unsigned(id.data4[5]),
                unsigned(id.data4[6]), unsigned(id.data4[7]));
  return text;
}

bool ParseGameListIdentifier(const std::wstring &text, GameListIdentifier &id)
{
  if (text.size() != IdentifierLength)
    return false;
  std::size_t at = 0;
  std::uint32_t data1 = 0, data2 = 0, data3 = 0, bytes[8] = {};
  if (!Expect(text, at, L'{') || !ReadField(text, at, 8, data1) || !Expect(text, at, L'-') ||
      !ReadField(text, at, 4, data2) || !Expect(text, at, L'-') || !ReadField(text, at, 4, data3) ||
      !Expect(text, at, L'-'))
    return false;
  for (int i = 0; i < 8; ++i)
  {
    if (i == 2 && !Expect(text, at, L'-'))
      return false;
    if (!ReadField(text, at, 2, bytes[i]))
      return false;
  }
  if (!Expect(text, at, L'}'))
    return false;
  id.data1 = data1;
  id.data2 = static_cast<std::uint16_t>(data2);
  id.data3 = static_cast<std::uint16_t>(data3);
  for (int i = 0; i < 8; ++i)
    id.data4[i] = static_cast<std::uint8_t>(bytes[i]);
  return true;
}

bool SplitGameListRecord(const std::wstring &text, std::wstring &identifier, std::wstring &libraryPath)
{
  std::size_t colon = text.find(L':');
  if (colon == std::wstring::npos)
    return false;
  identifier = text.substr(0, colon);
  libraryPath = text.substr(colon + 1);
  return true;
}
