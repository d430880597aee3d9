#pragma once

#include "Setup/Wizard/propertyPage.hpp"

#include <cstddef>
#include <string>

class CSetupObject;

// The wizard's pages. Each exchanges its controls with the configuration
// object, which outlives the sheet; the sheet gives every page the pointer
// before it is shown.
class CSetupWizardPage : public CPropertyPage
{
public:
  using CPropertyPage::CPropertyPage;
  CSetupObject *m_setup = nullptr;

protected:
  // Expands the page's "$KEY" texts; the sheet does it for the whole tree
  // after every page change, a page after changing texts of its own.
  void Localize();
};

// Welcome: the picture and the all-users choice (hidden when the script
// asks no such question; the installation is then per-user).
class CWizardPageAllUsers : public CSetupWizardPage
{
public:
  CWizardPageAllUsers();

protected:
  void DoDataExchange(CDataExchange &dx) override;
  BOOL OnInitDialog() override;
};

// The information text "data\info".
class CWizardPageInfo : public CSetupWizardPage
{
public:
  CWizardPageInfo();

protected:
  void DoDataExchange(CDataExchange &dx) override;
  BOOL OnInitDialog() override;

private:
  std::wstring _text;
};

// The licence "data\license": Next is offered only while agree is chosen.
// The gate lives in the configuration, so Back and return keep it.
class CWizardPageLicence : public CSetupWizardPage
{
public:
  CWizardPageLicence();

protected:
  void DoDataExchange(CDataExchange &dx) override;
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD notification) override;

private:
  void ApplyLicenceChoice();

  // 0 agree, 1 decline.
  int _choice = 1;
  std::wstring _text;
};

// The install folder: typed or browsed, with the free space beside the
// space needed; Next refuses an empty path, a path over 260 characters and
// a drive with too little space.
class CWizardPageDir : public CSetupWizardPage
{
public:
  CWizardPageDir();

protected:
  void DoDataExchange(CDataExchange &dx) override;
  BOOL OnInitDialog() override;
  BOOL OnSetActive() override;
  LRESULT OnWizardNext() override;
  bool OnCommand(WORD id, WORD notification) override;

private:
  void UpdateFreeSpaceText();
  void Browse();

  HWND _edit = nullptr;
  std::wstring _path;
  std::wstring _freeSpace;
  bool _activated = false;
};

// The DirectX version found, and whether to install DirectX.
class CWizardPageDrX : public CSetupWizardPage
{
public:
  CWizardPageDrX();

protected:
  void DoDataExchange(CDataExchange &dx) override;
  BOOL OnInitDialog() override;
};

// The copy: ticks the install driver every 100 ms from its start (state 10)
// to its end, showing progress, the file at hand and the slide show, and
// ends the wizard with Finish when the driver is done.
class CWizardPageSetup : public CSetupWizardPage
{
public:
  CWizardPageSetup();

protected:
  void DoDataExchange(CDataExchange &dx) override;
  BOOL OnInitDialog() override;
  void OnTimer(UINT_PTR id) override;
  void OnAppMessage(UINT message) override;
  void OnDestroy() override;

private:
  void Tick();
  // Runs the driver on until it waits for the worker or has ended (then
  // ends the wizard).
  void Advance();
  // Ends the copy worker and the wizard, with Finish.
  void Finish();
  void ShowNextPicture(std::int64_t copied);

  HWND _progress = nullptr;
  HWND _picture = nullptr;
  std::wstring _shownSource;
  std::wstring _shownDestination;
  std::size_t _nextPicture = 0;
  bool _inTick = false;
};

// Loads a bitmap file scaled to the area control's size and shows it in the
// picture control over the area: from the temporary working folder first,
// then from the source folder. Nothing when neither holds the file.
void PlacePicture(CSetupObject &setup, HWND page, int areaId, int pictureId, const std::wstring &temporaryName,
                  const std::wstring &sourceName);
