#pragma once

#include <cstdint>
#include <vector>

// Where the archives appended to the installer's own file lie.
struct ArchiveEntry
{
  // Offset of the archive's first byte in the host file, and its length.
  std::uint32_t start = 0;
  std::uint32_t size = 0;
};

struct ArchiveTable
{
  // Entry k - 1 describes archive k.
  std::vector<ArchiveEntry> entries;
  // Set by the first load attempt, whether or not a trailer was found.
  bool loaded = false;
  // The entry picked by the last selection; both 0 when none.
  std::uint32_t selectedStart = 0;
  std::uint32_t selectedSize = 0;
};
