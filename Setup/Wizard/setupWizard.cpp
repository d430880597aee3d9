#include "Setup/Wizard/setupWizard.hpp"

#include "Setup/Script/setupObject.hpp"
#include "Setup/Wizard/localizeWindow.hpp"
#include "Setup/Wizard/wizardRules.hpp"

CSetupWizardDlg::CSetupWizardDlg(CSetupObject *setup) : CPropertySheet(nullptr), m_setup(setup)
{
  for (WizardPage page : PageSequence(setup->infoPage, setup->licensePage, setup->directXMode == DirectXDialog))
  {
    CSetupWizardPage *added = nullptr;
    switch (page)
    {
    case WizardPage::AllUsers:
      added = &_allUsers;
      break;
    case WizardPage::Info:
      added = &_info;
      break;
    case WizardPage::Licence:
      added = &_licence;
      break;
    case WizardPage::Dir:
      added = &_dir;
      break;
    case WizardPage::DirectX:
      added = &_directX;
      break;
    case WizardPage::Setup:
      added = &_copy;
      break;
    }
    added->m_setup = setup;
    AddPage(added);
  }
  SetWizardMode();
}

void CSetupWizardDlg::OnInitialized()
{
  // The steps after the copy run while the sheet is up; it is the window
  // they own their dialogs with, and the one hidden while run-list programs
  // run.
  if (CWinApp *application = CWinApp::Current())
    application->m_hMainWnd = m_hWnd;
  UpdateButtons();
}

void CSetupWizardDlg::UpdateButtons()
{
  if (IsWizardMode())
  {
    int index = GetActiveIndex();
    DWORD buttons =
        WizardButtons(GetPageCount(), index < 0 ? 0 : index, m_setup->licenseBlocksNext, m_setup->licensePageIndex);
    PostMessageW(m_hWnd, PSM_SETWIZBUTTONS, 0, buttons);
  }
  LocalizeWindow(m_hWnd, ProductName());
}

bool CSetupWizardDlg::ConfirmCancel()
{
  return m_setup->MessageBoxKey(L"SETUP_STR_CANCEL_SETUP_VERIFY", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

LRESULT CSetupWizardDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
  switch (LOWORD(wParam))
  {
  case ID_WIZBACK:
  case ID_WIZNEXT:
  {
    LRESULT result = Default(WM_COMMAND, wParam, lParam);
    UpdateButtons();
    return result;
  }
  case IDCANCEL:
    // Before the copy page nothing has happened yet: no question.
    if (!_cancelConfirmed && GetActiveIndex() == GetPageCount() - 1 && !ConfirmCancel())
      return 0;
    return Default(WM_COMMAND, wParam, lParam);
  default:
    return Default(WM_COMMAND, wParam, lParam);
  }
}

LRESULT CSetupWizardDlg::OnSysCommand(WPARAM wParam, LPARAM lParam)
{
  if ((wParam & 0xFFF0) != SC_CLOSE)
    return Default(WM_SYSCOMMAND, wParam, lParam);
  if (!ConfirmCancel())
    return 0;
  _cancelConfirmed = true;
  LRESULT result = Default(WM_SYSCOMMAND, wParam, lParam);
  _cancelConfirmed = false;
  return result;
}

bool RunSetupWizard(CSetupObject &setup)
{
  CSetupWizardDlg wizard(&setup);
  bool finished = wizard.DoModal() == ID_WIZFINISH;
  if (CWinApp *application = CWinApp::Current())
    application->m_hMainWnd = nullptr;
  return finished;
}
