#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CCdRom;

// One file, folder or shortcut of the script. A shortcut keeps its link name
// in sourceName and its target, relative to the install folder, in
// destination.
class CSetupFileItem
{
public:
  // Relative to the source root (source folder or medium folder); for archive
  // members the member name.
  std::wstring sourceName;
  // Relative to the install folder.
  std::wstring destination;
  // Shortcut arguments.
  std::wstring arguments;
  // The checksum the written file must have, and whether it is compared.
  std::uint32_t expectedCrc = 0;
  bool verify = false;
  // The install logs that record this item (a copy of the script's log stack).
  std::vector<std::wstring> logList;
  // The medium that holds the source; not owned.
  CCdRom *medium = nullptr;
  // A folder to expand when its turn comes.
  bool directory = false;
  // Where the bytes come from: -1 a plain file, 0 a named resource, 1..127 a bank.
  std::int8_t archiveNumber = -1;
  // From the file list; 0 when unknown.
  std::int32_t size = 0;
  // The part of the destination that a file list supplied would lead out of
  // the install folder (".." parts, a drive, an absolute path): the item is
  // reported as unreadable instead of being copied.
  bool nameOutsideFolder = false;
};
