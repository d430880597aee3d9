#include "Setup/System/registryWrite.hpp"

bool WriteRegistryString(HKEY root, const std::wstring &key, const std::wstring &valueName, const std::wstring &text)
{
  HKEY opened = nullptr;
  if (RegCreateKeyW(root, key.c_str(), &opened) != ERROR_SUCCESS)
    return false;
  // The byte length counts the terminating null.
  RegSetValueExW(opened, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(opened);
  return true;
}
