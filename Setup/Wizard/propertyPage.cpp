#include "Setup/Wizard/propertyPage.hpp"

bool CPropertyPage::UpdateData(bool save)
{
  CDataExchange dx(m_hWnd, save);
  DoDataExchange(dx);
  return !dx.failed;
}

BOOL CPropertyPage::OnInitDialog()
{
  UpdateData(false);
  return TRUE;
}

PROPSHEETPAGEW CPropertyPage::Describe()
{
  const CWinApp *app = CWinApp::Current();
  PROPSHEETPAGEW page{};
  page.dwSize = sizeof page;
  page.hInstance = app && app->m_hInstance ? app->m_hInstance : GetModuleHandleW(nullptr);
  page.pszTemplate = MAKEINTRESOURCEW(_templateId);
  page.pfnDlgProc = PageProc;
  page.lParam = reinterpret_cast<LPARAM>(this);
  return page;
}

INT_PTR CPropertyPage::OnNotify(const NMHDR &header)
{
  LRESULT result = 0;
  switch (header.code)
  {
  case PSN_SETACTIVE:
    result = OnSetActive() ? 0 : -1;
    break;
  case PSN_KILLACTIVE:
    result = OnKillActive() ? FALSE : TRUE;
    break;
  case PSN_WIZBACK:
    result = OnWizardBack();
    break;
  case PSN_WIZNEXT:
    result = OnWizardNext();
    break;
  default:
    return FALSE;
  }
  SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
  return TRUE;
}

INT_PTR CALLBACK CPropertyPage::PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == WM_INITDIALOG)
  {
    // The sheet hands the page's description over; its lParam is the page.
    auto *page = reinterpret_cast<CPropertyPage *>(reinterpret_cast<const PROPSHEETPAGEW *>(lParam)->lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(page));
    page->m_hWnd = window;
    return page->OnInitDialog();
  }
  auto *page = reinterpret_cast<CPropertyPage *>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!page)
    return FALSE;
  switch (message)
  {
  case WM_NOTIFY:
    return page->OnNotify(*reinterpret_cast<const NMHDR *>(lParam));
  case WM_COMMAND:
    return page->OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
  case WM_TIMER:
    page->OnTimer(wParam);
    return TRUE;
  case WM_DESTROY:
    page->OnDestroy();
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    page->m_hWnd = nullptr;
    return FALSE;
  default:
    if (message >= WM_APP && message <= 0xBFFF)
    {
      page->OnAppMessage(message);
      return TRUE;
    }
    return FALSE;
  }
}
