#include "El/Stringtable/textLookup.hpp"
#include "Es/Strings/wideText.hpp"
#include "Setup/Data/scriptLines.hpp"
#include "Setup/Script/scriptText.hpp"
#include "Setup/Script/setupObject.hpp"

#include <cstring>

std::string CSetupObject::LoadText(const char *name, bool reportMissing)
{
  std::span<const char> resource = FindNamedResource(name);
  if (!resource.empty())
  {
    std::span<const char> text = SkipTextStartMark(resource);
    const void *zero = std::memchr(text.data(), 0, text.size());
    std::size_t length = zero ? static_cast<std::size_t>(static_cast<const char *>(zero) - text.data()) : text.size();
    return std::string(text.data(), length);
  }

  std::wstring wideName = WideFromUtf8(name, std::strlen(name));
  std::string bytes;
  FillTemporaryFolder();
  std::wstring folder = TemporaryFolder();
  if (!folder.empty() && ReadWholeFile(folder + L"\\" + wideName, bytes, MaxTextFileSize))
    return bytes;
  if (ReadWholeFile(wideName, bytes, MaxTextFileSize))
    return bytes;

  if (reportMissing)
  {
    MessageBox(FormatText(LocalizeKey(L"SETUP_STR_ERR_FILE_NOT_FOUND"), wideName), MB_ICONERROR);
    resultCode = ResultInternalError;
  }
  return std::string();
}
