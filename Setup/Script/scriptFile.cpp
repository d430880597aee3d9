#include "El/Stringtable/textLookup.hpp"
#include "Setup/Data/scriptLines.hpp"
#include "Setup/Script/scriptText.hpp"
#include "Setup/Script/setupObject.hpp"

bool CSetupObject::ReadScript()
{
  std::string fileBytes;
  std::span<const char> text = FindNamedResource("setup.dat");
  bool read = true;
  if (text.empty())
  {
    read = ReadWholeFile(scriptPath, fileBytes, MaxTextFileSize);
    text = fileBytes;
  }
  ScriptText script;
  // A line too long for the format is refused like an unreadable file: cut,
  // it could name another file or folder than the one meant.
  if (!read || !ReadScriptText(text, script))
  {
    MessageBox(FormatText(LocalizeKey(L"SETUP_STR_ERR_FILE_READ"), scriptPath), MB_ICONERROR);
    resultCode = ResultInternalError;
    return false;
  }
  scriptLines = std::move(script.lines);
  scriptFields = std::move(script.fields);
  return true;
}
