#pragma once

#include "Setup/Script/setupObject.hpp"
#include "Setup/Wizard/appFramework.hpp"

#include <string>

// The installer's application object: its InitInstance is the whole run.
class CQorSetupApp : public CWinApp
{
public:
  CQorSetupApp();

  // Reads the command line, chooses the language, loads the stringtable,
  // installs the localized title and steps the install driver to its end.
  // Always false: the process ends without a message loop.
  bool InitInstance() override;
  // Puts the framework's own application name back.
  int ExitInstance() override;

  // Replaces "%0" in the title by the product name (the script's A command).
  void ApplyProductName(const std::wstring &productName);
  const std::wstring &Title() const { return _title; }

  CSetupObject setup;

private:
  // Loads setup.csv from the current folder, else from the "SETUP.CSV"
  // resource through a file in the temporary folder; else nothing.
  void LoadStringtableForStartup();

  std::wstring _title;
  const wchar_t *_savedAppName = nullptr;
};
