#pragma once

#include <string>

// One installation medium, declared by the script's C command.
class CCdRom
{
public:
  // The label the medium's volume must carry.
  std::wstring volumeLabel;
  // A file, relative to the drive root, that must exist on the medium.
  std::wstring testFile;
  // The folder on the medium that holds its files, relative to the drive
  // root; joined directly before each source name, so a non-empty folder
  // ends with a backslash.
  std::wstring folder;
};
