#pragma once

#include "Setup/Wizard/modalDialog.hpp"

#include <string>

class CSetupObject;
class CCdRom;

// Asks for an installation medium that is not in any drive. It names the
// medium by its volume label, looks for it every two seconds by itself, and
// closes with IDOK once it is found, the drive's root stored; Cancel closes
// it with IDCANCEL.
class CInsertCdRomDlg : public CDialog
{
public:
  CInsertCdRomDlg(CSetupObject *setup, CCdRom *medium, std::wstring *driveRoot, HWND parent = nullptr);

  // Milliseconds between two looks for the medium.
  static constexpr UINT PollPeriod = 2000;

protected:
  BOOL OnInitDialog() override;
  void OnTimer(UINT_PTR id) override;
  void OnDestroy() override;

private:
  CSetupObject *_setup;
  CCdRom *_medium;
  std::wstring *_driveRoot;
  UINT_PTR _timer = 0;
};

// The prompt's text: the localized text, a blank, the label in double
// quotes, a full stop.
std::wstring InsertMediumText(const std::wstring &localized, const std::wstring &volumeLabel);
