#pragma once

#include <string>

#include <windows.h>

// One registry value the script asks for (always REG_SZ).
struct CRegistryAction
{
  HKEY root = HKEY_LOCAL_MACHINE;
  std::wstring key;
  // Empty addresses the key's default value.
  std::wstring valueName;
  // Before expansion.
  std::wstring data;
};
