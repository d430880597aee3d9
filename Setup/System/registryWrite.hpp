#pragma once

#include <string>

#include <windows.h>

// Creates (or opens) key below root and sets valueName (empty: the key's
// default value) to text as REG_SZ. Answers whether the key could be created;
// a value that cannot be set is not reported, as nothing in the registry
// step stops an installation.
bool WriteRegistryString(HKEY root, const std::wstring &key, const std::wstring &valueName, const std::wstring &text);
