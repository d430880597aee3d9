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

// Reads "valueName:type:root:key:data", each cut at the first colon left, so
// only the data may hold colons. The type must be "string" and the root one
// of "hklm", "hkcu", "hkcr" (any letter case). False for anything else.
bool ParseRegistryAction(const std::wstring &text, CRegistryAction &action);
