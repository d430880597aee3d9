#pragma once

#include <string>

// The uninstaller's texts: from the installer's stringtable ("setup.csv")
// when the install folder holds one and it has the key, in the user's
// language; else English.
void LoadUninstallTexts(const std::wstring &installFolder);
// The text of key; "%0" stands for the product's display name.
std::wstring UninstallText(const char *key);
