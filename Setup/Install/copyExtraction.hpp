#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What the copy worker needs of the item it copies, set by the start of each
// file and read by its worker under the configuration object's lock. The
// worker touches nothing of the main thread's (the file list, the resource
// module, the stringtables): what it needs of them is looked up here first.
struct CopyExtraction
{
  std::uint32_t expectedCrc = 0;
  bool verify = false;
  // -1 a plain file, 0 a named resource, 1..127 a bank member.
  std::int8_t archiveNumber = -1;
  std::int32_t size = 0;
  // The item's source name: the resource's or the member's name.
  std::wstring memberName;
  // A named resource's bytes (they stay mapped for the whole run); null when
  // there is no such resource.
  const char *resourceBytes = nullptr;
  std::size_t resourceSize = 0;
  // For deciding where the banks lie, which the run's first file does: the
  // file they may be appended to, the source folder, and whether the file
  // list names bank members at all.
  std::wstring hostPath;
  std::wstring sourceFolder;
  bool numberedArchives = false;
  // Changes with every medium switch: a bank kept from an earlier file is
  // only used again while it stays the same.
  int mediumGeneration = 0;
};
