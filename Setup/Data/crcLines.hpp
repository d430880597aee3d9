#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// One line of a CRC list ("setup.crc"): a source name, one blank, the
// checksum in hexadecimal.
struct CrcLine
{
  // In the ANSI code page, as the file holds it.
  std::string name;
  std::uint32_t crc = 0;
};

// Reads a number as the C library's unsigned conversion in base 16 does on a
// 32-bit unsigned long: leading white space, an optional sign, an optional
// "0x", digits up to the first other character. No digits give 0; a value
// beyond 32 bits gives 0xFFFFFFFF; a minus sign negates modulo 2^32.
std::uint32_t ParseCrcNumber(const char *text);

// Splits one line (one trailing line feed removed) at its first blank: the
// name before it, the number after it. False for a line without a blank.
bool ParseCrcLine(const char *line, CrcLine &entry);

// The line buffer's size: longer lines are read in pieces of one less, each
// taken as a line of its own.
inline constexpr int CrcLineBufferSize = 1024;

// Every line of an open file that parses, in file order.
std::vector<CrcLine> ReadCrcLines(std::FILE *file);
