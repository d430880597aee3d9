#include "Es/Strings/wideText.hpp"
#include "Setup/Data/crcLines.hpp"
#include "Setup/Install/sourceNames.hpp"
#include "Setup/Script/setupObject.hpp"

#include <cstdio>

void CSetupObject::LoadCrcList()
{
  FillTemporaryFolder();
  std::FILE *file = nullptr;
  std::wstring temporary = TemporaryFolder();
  if (!temporary.empty())
    file = _wfopen((temporary + L"\\setup.crc").c_str(), L"rt");
  if (!file)
    file = _wfopen((sourceFolder + L"setup.crc").c_str(), L"rt");
  if (!file)
    return;
  for (CrcLine &line : ReadCrcLines(file))
  {
    auto entry = std::make_unique<CCrcFile>();
    entry->name = WideFromAnsi(line.name);
    entry->crc = line.crc;
    crcList.push_back(std::move(entry));
  }
  std::fclose(file);
  ApplyCrcList(copyList.begin(), copyList.end());
}

// Each entry verifies the first item of its name that no earlier entry
// claimed, so a name listed twice with two entries has both copies verified.
void CSetupObject::ApplyCrcList(CopyListPosition first, CopyListPosition end)
{
  for (const std::unique_ptr<CCrcFile> &entry : crcList)
  {
    std::wstring name = WithoutFinalGz(entry->name);
    for (CopyListPosition item = first; item != end; ++item)
    {
      CSetupFileItem &file = **item;
      if (file.directory || file.verify || !SameNameBlind(WithoutFinalGz(file.sourceName), name))
        continue;
      file.expectedCrc = entry->crc;
      file.verify = true;
      break;
    }
  }
}
