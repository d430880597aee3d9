#include "Setup/Install/mediumSearch.hpp"

#include "Setup/Install/cdRom.hpp"
#include "Setup/Install/fileQueries.hpp"
#include "Setup/Install/sourceNames.hpp"
#include "Setup/Script/setupObject.hpp"

#include <windows.h>

namespace
{
class WindowsDrives : public DriveQueries
{
public:
  std::vector<std::wstring> DriveRoots() override
  {
    std::vector<wchar_t> buffer(1024);
    DWORD length = GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length > buffer.size())
    {
      // Too small: the answer is the room needed.
      buffer.assign(length + 1, L'\0');
      length = GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
      if (length > buffer.size())
        return {};
    }
    std::vector<std::wstring> roots;
    for (const wchar_t *root = buffer.data(); root < buffer.data() + length && *root; root += wcslen(root) + 1)
      roots.emplace_back(root);
    return roots;
  }

  std::wstring VolumeLabel(const std::wstring &root) override
  {
    wchar_t label[MAX_PATH + 1] = {};
    // A drive without a disc, or one that cannot be read, has no label; the
    // system's "insert a disk" box must not appear for it.
    UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
    if (!GetVolumeInformationW(root.c_str(), label, 256, nullptr, nullptr, nullptr, nullptr, 0))
      label[0] = L'\0';
    SetErrorMode(previous);
    return label;
  }

  bool FileExists(const std::wstring &path) override
  {
    UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
    bool exists = PathExists(path);
    SetErrorMode(previous);
    return exists;
  }
};
} // namespace

DriveQueries &SystemDrives()
{
  static WindowsDrives drives;
  return drives;
}

DriveQueries *&MediumDrives()
{
  static DriveQueries *drives = &SystemDrives();
  return drives;
}

std::wstring FindMediumRoot(DriveQueries &drives, const CCdRom &medium, bool testLabel)
{
  for (const std::wstring &root : drives.DriveRoots())
  {
    if (testLabel && !SameNameBlind(drives.VolumeLabel(root), medium.volumeLabel))
      continue;
    if (drives.FileExists(root + medium.testFile))
      return root;
  }
  return std::wstring();
}

bool CSetupObject::FindMedium(const CCdRom &medium, std::wstring &driveRoot)
{
  std::wstring root = FindMediumRoot(*MediumDrives(), medium, TestVolumeLabel());
  if (root.empty())
    return false;
  driveRoot = root;
  return true;
}
