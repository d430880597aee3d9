#include "Es/Strings/wideText.hpp"
#include "Setup/Data/containedPath.hpp"
#include "Setup/Install/sourceNames.hpp"
#include "Setup/Script/setupObject.hpp"

#include <algorithm>

namespace
{
struct FolderExpansion
{
  OwnedList<CSetupFileItem> &copyList;
  const std::vector<std::wstring> &logList;
  CCdRom *medium;
  CSetupObject::CopyListPosition position;
  std::size_t inserted = 0;

  CSetupFileItem &Insert(std::wstring sourceName, std::wstring destination, std::int8_t archiveNumber,
                         std::int32_t size)
  {
    auto item = std::make_unique<CSetupFileItem>();
    item->sourceName = std::move(sourceName);
    item->destination = std::move(destination);
    item->logList = logList;
    item->medium = medium;
    item->archiveNumber = archiveNumber;
    item->size = size;
    CSetupFileItem &added = *item;
    copyList.insert(position, std::move(item));
    ++inserted;
    return added;
  }

  // The files of root + sourceFolder in the order the system lists them,
  // each sub-folder expanded where it is met. Folders whose names begin with
  // "." are passed over; paths beyond the system's length limit cannot be
  // listed, which also ends a folder that contains itself through a link.
  void Scan(const std::wstring &root, const std::wstring &sourceFolder, const std::wstring &destinationFolder)
  {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((root + sourceFolder + L"\\*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
      return;
    do
    {
      std::wstring name = found.cFileName;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      {
        if (name[0] != L'.')
          Scan(root, sourceFolder + L"\\" + name, destinationFolder + L"\\" + name);
        continue;
      }
      Insert(sourceFolder + L"\\" + name, destinationFolder + L"\\" + WithoutFinalGz(name), -1, 0);
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
};
} // namespace

std::size_t CSetupObject::ExpandFolder(const std::vector<std::wstring> &logList, const std::wstring &root,
                                       const std::wstring &folder, const std::wstring &destinationFolder,
                                       CCdRom *medium, CopyListPosition position)
{
  FolderExpansion expansion{copyList, logList, medium, position};
  LoadFileList();
  if (!archiveFileList.loaded)
  {
    expansion.Scan(root, folder, destinationFolder);
    return expansion.inserted;
  }
  for (const FileListRecord *record : FileListRecordsUnder(folder))
  {
    std::wstring name = WideFromAnsi(record->name.Data());
    std::wstring below = name.substr(std::min(folder.size(), name.size()));
    CSetupFileItem &item =
        expansion.Insert(name, destinationFolder + WithoutFinalGz(below), record->archiveNumber, record->size);
    // The list names the files below the folder; a name that climbs out of it
    // must not write outside the install folder.
    std::wstring relative = below.substr(!below.empty() && (below[0] == L'\\' || below[0] == L'/') ? 1 : 0);
    item.nameOutsideFolder = !below.empty() && !IsContainedRelativePath(relative);
  }
  return expansion.inserted;
}
