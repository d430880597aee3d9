#pragma once

#include "Setup/Wizard/propertySheet.hpp"
#include "Setup/Wizard/wizardPages.hpp"

class CSetupObject;

// The installer's wizard: the pages the script asks for, in their order,
// the Back and Next buttons kept to the licence gate, every page localized
// when it appears, and a question before the user abandons a running copy.
class CSetupWizardDlg : public CPropertySheet
{
public:
  explicit CSetupWizardDlg(CSetupObject *setup);

protected:
  void OnInitialized() override;
  LRESULT OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam) override;

private:
  // Posts the buttons of the active page, then localizes the sheet's tree.
  void UpdateButtons();
  // "SETUP_STR_CANCEL_SETUP_VERIFY"; true for Yes.
  bool ConfirmCancel();

  CSetupObject *m_setup;
  CWizardPageAllUsers _allUsers;
  CWizardPageLicence _licence;
  CWizardPageInfo _info;
  CWizardPageDir _dir;
  CWizardPageDrX _directX;
  CWizardPageSetup _copy;
  // Set while a close the user confirmed turns into the sheet's cancel,
  // which must not ask a second time.
  bool _cancelConfirmed = false;
};

// Runs the wizard; true when it ended with Finish (the copy page's end).
bool RunSetupWizard(CSetupObject &setup);
