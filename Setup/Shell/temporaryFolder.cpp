#include "Setup/Script/setupObject.hpp"
#include "Setup/Shell/workingFolder.hpp"

std::wstring CSetupObject::TemporaryFolder() const
{
  return TemporaryWorkingFolderName(UserTemporaryPath(), ProductName());
}

void CSetupObject::FillTemporaryFolder()
{
  if (temporaryFolderFilled)
    return;
  temporaryFolderFilled = true;
  _stagingFolderExists.reset();
  std::span<const char> bank = FindNamedResource("SETUP_3RD_PARTY_AND_DATA");
  if (bank.empty())
    return;
  std::wstring folder = TemporaryFolder();
  if (!folder.empty())
    UnpackBankInto(bank, folder);
}
