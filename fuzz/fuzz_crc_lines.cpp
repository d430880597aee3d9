// Reads arbitrary bytes as setup.crc: ParseCrcLine over the text up to the
// first zero byte, checked against the C library's own hexadecimal
// conversion, and ReadCrcLines over all the bytes through a FILE, checked
// against the lines cut out here the way fgets cuts them.
#include "Setup/Data/crcLines.hpp"
#include "fuzz/fuzzCheck.hpp"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{
constexpr std::size_t PieceSize = CrcLineBufferSize - 1;

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// strtoul in base 16 as on a system whose unsigned long has 32 bits, built on
// strtoull: blanks and the sign are taken here, so the library sees digits.
std::uint32_t ReferenceNumber(const char *text)
{
  while (IsBlank(*text))
    ++text;
  bool negative = false;
  if (*text == '+' || *text == '-')
    negative = *text++ == '-';
  if (!IsHex(*text))
    return 0;
  errno = 0;
  unsigned long long magnitude = std::strtoull(text, nullptr, 16);
  if (errno == ERANGE || magnitude > 0xFFFFFFFFull)
    return 0xFFFFFFFFu;
  auto value = static_cast<std::uint32_t>(magnitude);
  return negative ? 0u - value : value;
}

// What ReadCrcLines should give: pieces of at most CrcLineBufferSize - 1
// bytes, each ending at a line feed or where the buffer fills; a piece is
// read as a C string, so it ends at its first zero byte.
std::vector<CrcLine> ReferenceLines(const std::vector<char> &bytes)
{
  std::vector<CrcLine> lines;
  std::size_t start = 0;
  while (start < bytes.size())
  {
    std::size_t end = start;
    while (end < bytes.size() && end - start < PieceSize)
      if (bytes[end++] == '\n')
        break;
    std::string piece(bytes.data() + start, end - start);
    piece.resize(std::strlen(piece.c_str()));
    if (!piece.empty() && piece.back() == '\n')
      piece.pop_back();
    CrcLine entry;
    if (ParseCrcLine(piece.c_str(), entry))
      lines.push_back(entry);
    start = end;
  }
  return lines;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  // The text up to the first zero byte, in a buffer of exactly its size: a
  // read past the terminator is a heap overflow the sanitizer sees.
  const char *chars = reinterpret_cast<const char *>(data);
  std::size_t length = 0;
  while (length < size && chars[length] != '\0')
    ++length;
  std::vector<char> text(chars, chars + length);
  text.push_back('\0');

  CrcLine entry;
  const char *blank = std::strchr(text.data(), ' ');
  Check(ParseCrcLine(text.data(), entry) == (blank != nullptr));
  if (blank)
  {
    Check(entry.name == std::string(text.data(), static_cast<std::size_t>(blank - text.data())));
    Check(entry.crc == ReferenceNumber(blank + 1));
  }
  Check(ParseCrcNumber(text.data()) == ReferenceNumber(text.data()));

  if (size == 0)
    return 0;
  std::vector<char> bytes(chars, chars + size);
  std::FILE *file = fmemopen(bytes.data(), bytes.size(), "r");
  if (!file)
    return 0;
  std::vector<CrcLine> lines = ReadCrcLines(file);
  std::fclose(file);
  std::vector<CrcLine> expected = ReferenceLines(bytes);
  Check(lines.size() == expected.size());
  for (std::size_t i = 0; i < lines.size(); ++i)
  {
    Check(lines[i].name == expected[i].name && lines[i].crc == expected[i].crc);
    Check(lines[i].name.size() < PieceSize);
    Check(lines[i].name.find_first_of(" \n") == std::string::npos);
  }
  return 0;
}
