#include "Setup/Wizard/propertySheet.hpp"

#include <commctrl.h>

namespace
{
// The sheet's callback gets no context: the sheet being shown is kept here.
// Sheets are modal and shown from the one user-interface thread.
CPropertySheet *g_showing = nullptr;
constexpr UINT_PTR SubclassId = 1;
// Posted when the sheet's window is initialized: it arrives once the first
// page exists too.
constexpr UINT SheetReady = WM_APP + 0x51;
} // namespace

void CPropertySheet::AddPage(CPropertyPage *page)
{
  page->_sheet = this;
  _pages.push_back(page);
}

int CPropertySheet::GetPageIndex(const CPropertyPage *page) const
{
  for (std::size_t i = 0; i < _pages.size(); ++i)
    if (_pages[i] == page)
      return static_cast<int>(i);
  return -1;
}

int CPropertySheet::GetActiveIndex() const
{
  if (!m_hWnd)
    return -1;
  HWND page = PropSheet_GetCurrentPageHwnd(m_hWnd);
  return page ? static_cast<int>(PropSheet_HwndToIndex(m_hWnd, page)) : -1;
}

INT_PTR CPropertySheet::DoModal()
{
  std::vector<HPROPSHEETPAGE> handles;
  for (CPropertyPage *page : _pages)
  {
    PROPSHEETPAGEW description = page->Describe();
    handles.push_back(CreatePropertySheetPageW(&description));
  }
  const CWinApp *app = CWinApp::Current();
  PROPSHEETHEADERW header{};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_USECALLBACK | PSH_NOAPPLYNOW | PSH_NOCONTEXTHELP | (_wizard ? PSH_WIZARD : 0);
  header.hwndParent = _parent;
  header.hInstance = app && app->m_hInstance ? app->m_hInstance : GetModuleHandleW(nullptr);
  header.pszCaption = L"";
  header.nPages = static_cast<UINT>(handles.size());
  header.nStartPage = 0;
  header.phpage = handles.data();
  header.pfnCallback = SheetCallback;
  _finished = false;
  CPropertySheet *outer = g_showing;
  g_showing = this;
  PropertySheetW(&header);
  g_showing = outer;
  m_hWnd = nullptr;
  return _finished ? ID_WIZFINISH : IDCANCEL;
}

void CPropertySheet::EndWizard()
{
  _finished = true;
  PropSheet_PressButton(m_hWnd, PSBTN_FINISH);
}

LRESULT CPropertySheet::Default(UINT message, WPARAM wParam, LPARAM lParam)
{
  return DefSubclassProc(m_hWnd, message, wParam, lParam);
}

int CALLBACK CPropertySheet::SheetCallback(HWND window, UINT message, LPARAM lParam)
{
  (void)lParam;
  if (message == PSCB_INITIALIZED && g_showing)
  {
    CPropertySheet *sheet = g_showing;
    sheet->m_hWnd = window;
    SetWindowSubclass(window, SubclassProc, SubclassId, reinterpret_cast<DWORD_PTR>(sheet));
    // Like a dialog made with DS_CENTER: in the middle of the work area.
    RECT box, area;
    if (GetWindowRect(window, &box) && SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0))
      SetWindowPos(window, nullptr, area.left + (area.right - area.left - (box.right - box.left)) / 2,
                   area.top + (area.bottom - area.top - (box.bottom - box.top)) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PostMessageW(window, SheetReady, 0, 0);
  }
  return 0;
}

LRESULT CALLBACK CPropertySheet::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                              DWORD_PTR data)
{
  auto *sheet = reinterpret_cast<CPropertySheet *>(data);
  switch (message)
  {
  case WM_COMMAND:
    return sheet->OnCommand(wParam, lParam);
  case WM_SYSCOMMAND:
    return sheet->OnSysCommand(wParam, lParam);
  case SheetReady:
    sheet->OnInitialized();
    return 0;
  case WM_NCDESTROY:
    RemoveWindowSubclass(window, SubclassProc, id);
    break;
  default:
    break;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}
