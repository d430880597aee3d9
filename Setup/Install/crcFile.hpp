#pragma once

#include <cstdint>
#include <string>

// One line of the CRC list: a file name and the checksum it must have.
class CCrcFile
{
public:
  // The source name as the script or the file list gives it (a path relative
  // to the source root, possibly ending in ".gz").
  std::wstring name;
  std::uint32_t crc = 0;
};
