#include "Setup/Data/crcLines.hpp"

#include <cstring>

namespace
{
bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int HexDigitValue(char c)
{
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}
} // namespace

std::uint32_t ParseCrcNumber(const char *text)
{
  while (IsCSpace(*text))
    ++text;
  bool negative = false;
  if (*text == '+' || *text == '-')
    negative = *text++ == '-';
  // "0x" only counts as a prefix when a digit follows; otherwise the "0" is
  // the number.
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X') && HexDigitValue(text[2]) >= 0)
    text += 2;
  std::uint64_t value = 0;
  bool overflow = false;
  for (int digit; (digit = HexDigitValue(*text)) >= 0; ++text)
  {
    value = value * 16 + static_cast<unsigned>(digit);
    if (value > 0xFFFFFFFFu)
    {
      overflow = true;
      value = 0xFFFFFFFFu;
    }
  }
  if (overflow)
    return 0xFFFFFFFFu;
  std::uint32_t result = static_cast<std::uint32_t>(value);
  return negative ? 0u - result : result;
}

bool ParseCrcLine(const char *line, CrcLine &entry)
{
  const char *blank = std::strchr(line, ' ');
  if (!blank)
    return false;
  entry.name.assign(line, static_cast<std::size_t>(blank - line));
  // The number's conversion stops at the line feed by itself.
  entry.crc = ParseCrcNumber(blank + 1);
  return true;
}

std::vector<CrcLine> ReadCrcLines(std::FILE *file)
{
  std::vector<CrcLine> lines;
  char buffer[CrcLineBufferSize];
  while (std::fgets(buffer, sizeof buffer, file))
  {
    std::size_t length = std::strlen(buffer);
    if (length > 0 && buffer[length - 1] == '\n')
      buffer[length - 1] = '\0';
    CrcLine entry;
    if (ParseCrcLine(buffer, entry))
      lines.push_back(std::move(entry));
  }
  return lines;
}
