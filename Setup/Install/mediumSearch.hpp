#pragma once

#include <string>
#include <vector>

class CCdRom;

// What the medium search asks the system. Tests put a made-up machine here.
class DriveQueries
{
public:
  virtual ~DriveQueries() = default;
  // The roots of all drives ("C:\\", "D:\\"), in the system's order.
  virtual std::vector<std::wstring> DriveRoots() = 0;
  // The volume label; empty when the drive cannot be read.
  virtual std::wstring VolumeLabel(const std::wstring &root) = 0;
  virtual bool FileExists(const std::wstring &path) = 0;
};

// The system's own drives.
DriveQueries &SystemDrives();
// The drives the installer searches: SystemDrives() unless a test replaced it.
DriveQueries *&MediumDrives();

// The root of the first drive, in drive order, whose label equals the
// medium's (letter case aside; any label when testLabel is off) and that
// holds the medium's test file; empty when none does.
std::wstring FindMediumRoot(DriveQueries &drives, const CCdRom &medium, bool testLabel);
