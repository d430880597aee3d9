#include "Setup/Wizard/wizardPages.hpp"

#include "El/Stringtable/textLookup.hpp"
#include "Es/Strings/wideText.hpp"
#include "Setup/Install/fileQueries.hpp"
#include "Setup/Script/setupObject.hpp"
#include "Setup/Wizard/localizeWindow.hpp"
#include "Setup/Wizard/propertySheet.hpp"
#include "Setup/Wizard/wizardRules.hpp"
#include "Setup/res/resourceIds.h"

namespace
{
// A text file's lines as an edit control shows them: with CR LF ends.
std::wstring EditText(const std::string &utf8)
{
  std::wstring text = WideFromUtf8(utf8);
  std::wstring shown;
  shown.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i)
  {
    if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r'))
      shown += L'\r';
    shown += text[i];
  }
  return shown;
}
} // namespace

void CSetupWizardPage::Localize() { LocalizeWindow(m_hWnd, ProductName()); }

void PlacePicture(CSetupObject &setup, HWND page, int areaId, int pictureId, const std::wstring &temporaryName,
                  const std::wstring &sourceName)
{
  HWND area = GetDlgItem(page, areaId);
  HWND picture = GetDlgItem(page, pictureId);
  if (!area || !picture)
    return;
  RECT box;
  GetWindowRect(area, &box);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT *>(&box), 2);
  int width = box.right - box.left;
  int height = box.bottom - box.top;
  setup.FillTemporaryFolder();
  // Scaled by the loader to the area, which the dialog units have already
  // sized for the screen's DPI.
  HANDLE bitmap = nullptr;
  std::wstring temporary = setup.TemporaryFolder();
  if (!temporary.empty())
    bitmap = LoadImageW(nullptr, (temporary + temporaryName).c_str(), IMAGE_BITMAP, width, height, LR_LOADFROMFILE);
  if (!bitmap)
    bitmap =
        LoadImageW(nullptr, (setup.sourceFolder + sourceName).c_str(), IMAGE_BITMAP, width, height, LR_LOADFROMFILE);
  if (!bitmap)
    return;
  if (HANDLE previous =
          reinterpret_cast<HANDLE>(SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap))))
    DeleteObject(previous);
  MoveWindow(picture, box.left, box.top, width, height, TRUE);
  ShowWindow(picture, SW_SHOW);
}

// --- Welcome ------------------------------------------------------------------

CWizardPageAllUsers::CWizardPageAllUsers() : CSetupWizardPage(IDD_WIZARD_ALL_USERS) {}

void CWizardPageAllUsers::DoDataExchange(CDataExchange &dx) { DDX_Check(dx, IDC_ALL_USERS, m_setup->allUsers); }

BOOL CWizardPageAllUsers::OnInitDialog()
{
  CSetupWizardPage::OnInitDialog();
  if (!m_setup->allUsersQuestion)
    ShowWindow(GetDlgItem(m_hWnd, IDC_ALL_USERS), SW_HIDE);
  PlacePicture(*m_setup, m_hWnd, IDC_WELCOME_AREA, IDC_WELCOME_PICTURE, L"\\data\\setupWelcome.bmp",
               L"data\\setupWelcome.bmp");
  return TRUE;
}

// --- Information ----------------------------------------------------------------

CWizardPageInfo::CWizardPageInfo() : CSetupWizardPage(IDD_WIZARD_INFO) {}

void CWizardPageInfo::DoDataExchange(CDataExchange &dx) { DDX_Text(dx, IDC_INFO_TEXT, _text); }

BOOL CWizardPageInfo::OnInitDialog()
{
  _text = EditText(m_setup->LoadText("data\\info", false));
  UpdateData(false);
  return TRUE;
}

// --- Licence --------------------------------------------------------------------

CWizardPageLicence::CWizardPageLicence() : CSetupWizardPage(IDD_WIZARD_LICENSE) {}

void CWizardPageLicence::DoDataExchange(CDataExchange &dx)
{
  DDX_Radio(dx, IDC_LICENSE_AGREE, _choice);
  DDX_Text(dx, IDC_LICENSE_TEXT, _text);
}

BOOL CWizardPageLicence::OnInitDialog()
{
  _choice = 1;
  m_setup->licenseBlocksNext = true;
  m_setup->licensePageIndex = GetSheet()->GetPageIndex(this);
  _text = EditText(m_setup->LoadText("data\\license", false));
  UpdateData(false);
  return TRUE;
}

bool CWizardPageLicence::OnCommand(WORD id, WORD notification)
{
  if ((id != IDC_LICENSE_AGREE && id != IDC_LICENSE_DISAGREE) || notification != BN_CLICKED)
    return false;
  ApplyLicenceChoice();
  return true;
}

void CWizardPageLicence::ApplyLicenceChoice()
{
  UpdateData(true);
  m_setup->licenseBlocksNext = _choice != 0;
  PostMessageW(GetSheet()->m_hWnd, PSM_SETWIZBUTTONS, 0,
               m_setup->licenseBlocksNext ? PSWIZB_BACK : PSWIZB_BACK | PSWIZB_NEXT);
}

// --- DirectX --------------------------------------------------------------------

CWizardPageDrX::CWizardPageDrX() : CSetupWizardPage(IDD_WIZARD_DRX) {}

void CWizardPageDrX::DoDataExchange(CDataExchange &dx) { DDX_Check(dx, IDC_DRX_SETUP, m_setup->directXNeeded); }

BOOL CWizardPageDrX::OnInitDialog()
{
  CSetupWizardPage::OnInitDialog();
  SetDlgItemTextW(
      m_hWnd, IDC_DRX_DETECT,
      DirectXVersionText(m_setup->directXVersion, m_setup->directXRevision, LocalizeKey(L"SETUP_STR_DIRECTX_NOT_FOUND"))
          .c_str());
  return TRUE;
}
