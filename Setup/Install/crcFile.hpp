#pragma once

#include <cstdint>
#include <string>

// One line of the CRC list: a file name and the checksum it must have.
class CCrcFile
{
public:
  // In the ANSI code page, as the list gives it.
  std::string name;
  std::uint32_t crc = 0;
};
