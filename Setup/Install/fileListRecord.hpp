#pragma once

#include "Es/Strings/rString.hpp"

#include <cstdint>
#include <vector>

// One record of the archive file list: which archive holds a source file.
struct FileListRecord
{
  // Relative to the source root, backslashes, ANSI code page.
  RString name;
  std::int32_t size = 0;
  std::int8_t archiveNumber = -1;
};

struct ArchiveFileList
{
  std::vector<FileListRecord> records;
  // Set once the list was read; a missing list leaves it clear, so later
  // lookups try again.
  bool loaded = false;
};
