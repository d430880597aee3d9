#include "El/Stringtable/textLookup.hpp"
#include "Setup/Script/scriptText.hpp"
#include "Setup/Script/setupObject.hpp"

bool CSetupObject::ReadScript()
{
  std::string fileBytes;
  std::span<const char> text = FindNamedResource("setup.dat");
  if (text.empty())
  {
    if (!ReadWholeFile(scriptPath, fileBytes, MaxTextFileSize))
    {
      MessageBox(FormatText(LocalizeKey(L"SETUP_STR_ERR_FILE_READ"), scriptPath), MB_ICONERROR);
      resultCode = ResultInternalError;
      return false;
    }
    text = fileBytes;
  }
  text = SkipTextStartMark(text);
  // Cutting the text into lines and fields comes with the script's commands;
  // until then the text is read and checked for presence only.
  return true;
}

bool CSetupObject::ParseScript()
{
  // The commands of the script are not parsed yet: nothing fills the lists.
  return true;
}
