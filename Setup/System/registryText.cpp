#include "Setup/System/registryText.hpp"

#include "Setup/Install/sourceNames.hpp"

#include <array>

std::wstring ExpandRegistryData(const std::wstring &data, const std::wstring &installFolder)
{
  std::wstring expanded;
  for (std::size_t i = 0; i < data.size(); ++i)
  {
    if (data[i] != L'%')
    {
      expanded += data[i];
      continue;
    }
    if (i + 1 >= data.size())
      break;
    wchar_t next = data[i + 1];
    if (next == L'%')
    {
      expanded += L'%';
      ++i;
    }
    else if (next == L'(')
    {
      std::size_t close = data.find(L')', i + 2);
      if (close == std::wstring::npos)
        break;
      if (SameNameBlind(data.substr(i + 2, close - i - 2), L"INSTALL_PATH") && !installFolder.empty())
        expanded += installFolder.substr(0, installFolder.size() - 1);
      i = close;
    }
    // Any other character after "%": the "%" is dropped and the character
    // read as usual.
  }
  return expanded;
}

bool ParseFileType(const std::wstring &text, FileTypeEntry &entry)
{
  std::array<std::wstring::size_type, 3> colons{};
  std::wstring::size_type start = 0;
  for (auto &colon : colons)
  {
    colon = text.find(L':', start);
    if (colon == std::wstring::npos)
      return false;
    start = colon + 1;
  }
  entry.extension = text.substr(0, colons[0]);
  entry.className = text.substr(colons[0] + 1, colons[1] - colons[0] - 1);
  entry.program = text.substr(colons[1] + 1, colons[2] - colons[1] - 1);
  entry.iconIndex = text.substr(colons[2] + 1);
  return true;
}

std::wstring OpenCommand(const std::wstring &programPath) { return L"\"" + programPath + L"\" \"%1\""; }
