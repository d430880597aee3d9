#pragma once

#include "Setup/Data/archiveTrailer.hpp"

#include <cstdint>
#include <string>
#include <vector>

// Where the archives appended to the host file lie, read from its trailer.
struct ArchiveTable
{
  // Entry k - 1 describes archive k.
  std::vector<ArchiveEntry> entries;
  // Set by the first load attempt, whether or not a trailer was found.
  bool loaded = false;
  // The entry picked by the last selection; both 0 when none.
  std::uint64_t selectedStart = 0;
  std::uint32_t selectedSize = 0;

  // Reads the host file's trailer (no entries when there is none or it is not
  // sound), writes "setupNN.bin start=... size=..." for each archive to the
  // log channel, and marks the table loaded.
  void LoadArchiveTable(const std::wstring &hostPath);
  // Selects archive n's region; a number outside 1..entries selects none.
  void SelectArchive(int n);
};
