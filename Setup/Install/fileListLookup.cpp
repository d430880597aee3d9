#include "Es/Strings/wideText.hpp"
#include "Setup/Script/setupObject.hpp"

void CSetupObject::LoadFileList()
{
  if (archiveFileList.loaded)
    return;
  std::span<const char> bytes = FindNamedResource("SETUP_FILE_LIST");
  if (bytes.empty())
    return;
  // A damaged list keeps the records read before the damage; whatever it
  // does not name is then read as a plain file.
  ReadFileList(bytes.data(), bytes.size(), archiveFileList.records);
  archiveFileList.loaded = true;
}

std::int8_t CSetupObject::ArchiveNumberOf(const std::wstring &sourceName)
{
  LoadFileList();
  if (!archiveFileList.loaded)
    return -1;
  return ArchiveNumberIn(archiveFileList.records, AnsiFromWide(sourceName).c_str());
}

bool CSetupObject::HasNumberedArchives()
{
  LoadFileList();
  return NamesNumberedArchives(archiveFileList.records);
}

std::vector<const FileListRecord *> CSetupObject::FileListRecordsUnder(const std::wstring &folder)
{
  LoadFileList();
  return RecordsUnder(archiveFileList.records, AnsiFromWide(folder).c_str());
}
