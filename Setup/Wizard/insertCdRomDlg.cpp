#include "Setup/Wizard/insertCdRomDlg.hpp"

#include "Setup/Install/cdRom.hpp"
#include "Setup/Script/setupObject.hpp"
#include "Setup/Wizard/localizeWindow.hpp"
#include "Setup/res/resourceIds.h"

#include <vector>

namespace
{
constexpr UINT_PTR PollTimer = 1;
}

std::wstring InsertMediumText(const std::wstring &localized, const std::wstring &volumeLabel)
{
  return localized + L" \"" + volumeLabel + L"\".";
}

CInsertCdRomDlg::CInsertCdRomDlg(CSetupObject *setup, CCdRom *medium, std::wstring *driveRoot, HWND parent)
    : CDialog(IDD_INSERT_CDROM, parent), _setup(setup), _medium(medium), _driveRoot(driveRoot)
{
}

BOOL CInsertCdRomDlg::OnInitDialog()
{
  // The window exists from here on: the search starts with it.
  _timer = SetTimer(m_hWnd, PollTimer, PollPeriod, nullptr);
  LocalizeWindow(m_hWnd, ProductName());
  HWND label = GetDlgItem(m_hWnd, IDC_INSERT_CDROM_TEXT);
  int length = GetWindowTextLengthW(label);
  std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1);
  GetWindowTextW(label, text.data(), length + 1);
  SetWindowTextW(label, InsertMediumText(text.data(), _medium->volumeLabel).c_str());
  return TRUE;
}

void CInsertCdRomDlg::OnTimer(UINT_PTR id)
{
  (void)id;
  if (_setup->FindMedium(*_medium, *_driveRoot))
    EndDialog(IDOK);
}

void CInsertCdRomDlg::OnDestroy()
{
  if (_timer)
    KillTimer(m_hWnd, _timer);
  _timer = 0;
}
