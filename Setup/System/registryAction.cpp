#include "Setup/System/registryAction.hpp"

#include "Setup/Install/sourceNames.hpp"

#include <array>

bool ParseRegistryAction(const std::wstring &text, CRegistryAction &action)
{
  // Value name, type, root, key; the data is what follows the fourth colon.
  std::array<std::wstring, 4> fields;
  std::wstring::size_type start = 0;
  for (std::wstring &field : fields)
  {
    std::wstring::size_type colon = text.find(L':', start);
    if (colon == std::wstring::npos)
      return false;
    field.assign(text, start, colon - start);
    start = colon + 1;
  }
  if (!SameNameBlind(fields[1], L"string"))
    return false;
  if (SameNameBlind(fields[2], L"hklm"))
    action.root = HKEY_LOCAL_MACHINE;
  else if (SameNameBlind(fields[2], L"hkcu"))
    action.root = HKEY_CURRENT_USER;
  else if (SameNameBlind(fields[2], L"hkcr"))
    action.root = HKEY_CLASSES_ROOT;
  else
    return false;
  action.valueName = fields[0];
  action.key = fields[3];
  action.data = text.substr(start);
  return true;
}
